// Writes quibo's icon: a green speech bubble with three white dots, 128 x 128
// PNG with a transparent ground.
//
//   make_icon OUTPUT.png
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon OUTPUT.png\n");
    return 2;
  }
  QImage icon(128, 128, QImage::Format_ARGB32_Premultiplied);
  icon.fill(Qt::transparent);
  {
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(8, 14, 112, 80), 26, 26);
    QPainterPath tail;
    tail.moveTo(30, 84);
    tail.lineTo(22, 116);
    tail.lineTo(58, 90);
    tail.closeSubpath();
    painter.setPen(QPen(QColor(96, 118, 62), 4));
    painter.setBrush(QColor(164, 185, 127));
    painter.drawPath(bubble.united(tail));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    for (int i = 0; i < 3; ++i) painter.drawEllipse(QPointF(40 + 24 * i, 54), 9, 9);
  }
  if (!icon.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
