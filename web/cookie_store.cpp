#include "web/cookie_store.h"

#include <map>
#include <mutex>
#include <set>

#include "web/testing.h"

namespace quibo {
namespace {

struct CookieStore {
  std::mutex mutex;
  std::map<Text, Text> linesByKey;  // domain, path and name -> line
};

CookieStore& TheCookieStore() {
  static CookieStore store;
  return store;
}

// Domain, path and name: the fields 1, 3 and 6 of a cookie line.
Text CookieKey(const Text& line) {
  Text key;
  size_t start = 0;
  for (int field = 0; field < 6; ++field) {
    size_t end = line.find('\t', start);
    if (end == Text::npos) end = line.size();
    if (field == 0 || field == 2 || field == 5) key.append(line, start, end - start).append("\t");
    if (end == line.size()) break;
    start = end + 1;
  }
  return key;
}

}  // namespace

TextList CookieStoreLines() {
  CookieStore& store = TheCookieStore();
  std::lock_guard lock(store.mutex);
  TextList lines;
  for (const auto& [key, line] : store.linesByKey) lines.push_back(line);
  return lines;
}

void MergeIntoCookieStore(const TextList& seeded, const TextList& learned) {
  std::set<Text> learnedKeys;
  for (const Text& line : learned) learnedKeys.insert(CookieKey(line));
  const std::set<Text> seededLines(seeded.begin(), seeded.end());
  CookieStore& store = TheCookieStore();
  std::lock_guard lock(store.mutex);
  for (const Text& line : seeded) {
    const Text key = CookieKey(line);
    auto stored = store.linesByKey.find(key);
    // Only a cookie still as this request saw it is removed: another request
    // may have set it anew meanwhile.
    if (!learnedKeys.contains(key) && stored != store.linesByKey.end() && stored->second == line) {
      store.linesByKey.erase(stored);
    }
  }
  for (const Text& line : learned) {
    if (!seededLines.contains(line)) store.linesByKey[CookieKey(line)] = line;
  }
}

void ClearCookieStore() {
  CookieStore& store = TheCookieStore();
  std::lock_guard lock(store.mutex);
  store.linesByKey.clear();
}

void ClearCookieStoreForTesting() {
  ClearCookieStore();
}

}  // namespace quibo
