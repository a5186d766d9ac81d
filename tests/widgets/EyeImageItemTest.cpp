// The eye's hit counts drawn through axis ranges: a square wave's eye lands
// on the pixels its levels map to, a new range (a fit or a zoom) redraws the
// same counts sharp at their new place, and the colour scale tells rare from
// frequent.
#include "EyeHitImage.h"
#include "EyeImageItem.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <vector>

using namespace h452;

namespace {

const QColor kColour(86, 180, 233);

// `traces` traces of 100 samples: +a for the first 50, -a for the rest.
void addSquare(EyeHitImage& image, double a, int traces)
{
    std::vector<double> x, y;
    for (int t = 0; t < traces; ++t)
        for (int k = 0; k < 100; ++k) {
            x.push_back(k / 99.0);
            y.push_back(k < 50 ? a : -a);
        }
    image.add(x.data(), y.data(), x.size());
}

QImage draw(const EyeHitImage& image, double yMin, double yMax, bool scale = false)
{
    QImage out(400, 200, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::black);
    QPainter p(&out);
    EyeImageItem::render(p, QRectF(0, 0, 400, 200), image, 0.0, 1.0, yMin, yMax, kColour, scale);
    return out;
}

// Rows of a column drawn in a colour other than the background.
std::vector<int> litRows(const QImage& img, int x)
{
    std::vector<int> rows;
    for (int y = 0; y < img.height(); ++y)
        if (img.pixelColor(x, y) != QColor(Qt::black))
            rows.push_back(y);
    return rows;
}

} // namespace

TEST(EyeImageItem, SquareWaveLandsOnItsLevelsAtEveryRange)
{
    EyeHitImage image;
    addSquare(image, 1000.0, 20);
    // y range, then the rows of +1000 and -1000 codes: row = (yMax - code) / span * 200.
    const struct {
        double yMin, yMax;
        int high, low;
    } ranges[] = {
        {-2000, 2000, 50, 150},   // as fitted to the trace
        {-4000, 4000, 75, 125},   // a wider fit: same counts, new place, still sharp
        {0, 2000, 100, -1},       // zoomed on the upper half: the low level is off the chart
    };
    for (const auto& r : ranges) {
        SCOPED_TRACE(r.yMax - r.yMin);
        const QImage img = draw(image, r.yMin, r.yMax);
        // First half of the trace time (x < 200 px) high, second half low.
        for (const auto& col : {std::make_pair(100, r.high), std::make_pair(300, r.low)}) {
            const std::vector<int> rows = litRows(img, col.first);
            if (col.second < 0) {
                EXPECT_TRUE(rows.empty());
                continue;
            }
            ASSERT_FALSE(rows.empty());
            // One value bin (16 codes) is at most a few pixels here: no smear.
            EXPECT_LE(rows.back() - rows.front(), 2);
            EXPECT_NEAR(rows.front(), col.second, 2);
            EXPECT_EQ(img.pixelColor(col.first, rows.front()), kColour);
        }
    }
    EXPECT_EQ(image.total(), 2000u);   // drawing never changes the counts
}

TEST(EyeImageItem, ColourScaleGradesRareAndFrequentCells)
{
    EyeHitImage image;
    addSquare(image, 1000.0, 50);
    addSquare(image, 500.0, 1);
    const QImage img = draw(image, -2000, 2000, true);
    const QColor frequent = img.pixelColor(100, litRows(img, 100).front());
    const QColor rare = img.pixelColor(100, litRows(img, 100).back());   // +500 lies below +1000
    EXPECT_GT(frequent.red(), frequent.blue());
    EXPECT_GT(rare.blue(), rare.red());
    // An empty image or a useless range draws nothing.
    EXPECT_TRUE(litRows(draw(EyeHitImage(), -2000, 2000), 100).empty());
    EXPECT_TRUE(litRows(draw(image, 5, 5), 100).empty());
}
