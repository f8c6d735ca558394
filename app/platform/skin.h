// The flat control skin: an application style sheet, so it covers the
// standard controls that exist and every one created later (the message
// box's button included). Labels and pictures are left as they are.
#pragma once

#include <QColor>
#include <QString>

namespace quibo {

// The frame colour of edit boxes in `scheme` (1, 2 or 3); scheme 2 is
// RGB(164, 185, 127). Any other scheme number counts as 2.
[[nodiscard]] QColor SkinFrameColour(int scheme);

// The style sheet of `scheme`, as SkinFrameColour chooses it.
[[nodiscard]] QString SkinStyleSheet(int scheme);

}  // namespace quibo
