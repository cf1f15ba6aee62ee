// The Qt view draws the pictures' shared description: every picture has its
// colours at its key pixels and is drawn as it was before the description
// was shared (to within the rounding of the stored reference).
#include <gtest/gtest.h>

#include <QImage>

#include <iterator>

#include "picture_reference.h"
#include "platform/qt/pictures.h"

namespace tolvane {
namespace {

namespace pq = platform::qt;
using testutil::PictureCase;
using testutil::Pixels;

Pixels pixelsOf(const QImage& image) {
  const QImage img = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  Pixels p{img.width(), img.height(), {}};
  for (int y = 0; y < img.height(); ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(img.constScanLine(y));
    p.argb.insert(p.argb.end(), row, row + img.width());
  }
  return p;
}

Pixels drawn(const PictureCase& c) { return pixelsOf(c.id ? pq::pictureImage(*c.id) : pq::windowIconImage()); }

TEST(QtPictures, KeyPixelsHaveTheirColours) { testutil::expectKeyPixels(drawn); }

// The reference keeps straight colours in 8 bits, so a partly covered pixel
// comes back one level off.
TEST(QtPictures, EachIsDrawnAsBefore) {
  const auto differences = testutil::differencesFromReference(drawn);
  EXPECT_EQ(differences.size(), std::size(testutil::kPictureCases));
  for (const auto& [name, d] : differences) EXPECT_LE(d.largest, 1) << name;
}

}  // namespace
}  // namespace tolvane
