// switchimages: draws the two 64 x 24 RGBA pictures of the channel and panel
// switches (a check box indicator styled as a two-part slide switch) and
// writes them as checkBoxOffBG.png and checkBoxOnBG.png into the folder given
// on the command line. The pictures in app/resources/Resources are this
// program's output; run it again after changing the look:
//     switchimages app/resources/Resources
//
// The label of each state is drawn as a shape, not as text, so that the
// output does not depend on the fonts of the machine: "off" carries a ring
// (O) on its grey left half, "on" a bar (I) on its blue right half.
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>

#include <cstdio>

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 24;
const QColor kOutline(169, 172, 175);
const QColor kOffKnob(130, 135, 140);
const QColor kLight(233, 235, 236);
const QColor kOnKnob(67, 134, 185);

QImage drawSwitch(bool on)
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    const QRect left(1, 1, kWidth / 2 - 1, kHeight - 2);
    const QRect right(kWidth / 2, 1, kWidth / 2 - 1, kHeight - 2);
    p.fillRect(left, on ? kLight : kOffKnob);
    p.fillRect(right, on ? kOnKnob : kLight);
    // 1 px outline around the whole switch.
    p.setPen(kOutline);
    p.drawRect(0, 0, kWidth - 1, kHeight - 1);
    if (on) {
        p.fillRect(QRect(right.center().x(), 7, 2, 10), Qt::white);
    } else {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(Qt::white, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(left.center().x() + 0.5, kHeight / 2.0), 4.5, 4.5);
    }
    p.end();
    return image;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: switchimages OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists()) {
        std::fprintf(stderr, "switchimages: folder %s does not exist\n", argv[1]);
        return 1;
    }
    const bool offSaved = drawSwitch(false).save(out.filePath(QStringLiteral("checkBoxOffBG.png")), "PNG");
    const bool onSaved = drawSwitch(true).save(out.filePath(QStringLiteral("checkBoxOnBG.png")), "PNG");
    if (!offSaved || !onSaved) {
        std::fprintf(stderr, "switchimages: cannot write the images into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
