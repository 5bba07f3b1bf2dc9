// The size measurement: for every format number, the label and the size of the file saving would write.
#include "base/image_codec.h"
#include "base/system_utils.h"
#include "core/operation_thread.h"
#include "core/save_image_operation.h"
#include "support/temp_root.h"
#include "support/test_pictures.h"

#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>

namespace pxh {
namespace {

using namespace std::chrono_literals;

struct TMeasureCase {
    const char* Name;
    int Format;
    bool Noisy;
    const char* Extension;
};

class SaveImageOperationTest : public testing::TestWithParam<TMeasureCase> {};

TEST_P(SaveImageOperationTest, LabelAndSizeAreThoseOfTheSavedFile) {
    const auto& c = GetParam();
    const QImage picture = c.Noisy ? test::NoisyPicture(320, 200) : test::FlatPicture(320, 200);
    std::atomic<int> exitCode{-2};
    QString extension;
    QString fileSize;
    qint64 byteCount = -1;
    std::atomic<bool> done{false};
    {
        TOperationThread<TSaveImageOperation> thread;
        auto op = std::make_unique<TSaveImageOperation>(picture, c.Format);
        op->OnComplete = [&](TOperation& AOp, int ACode) {
            const auto& measured = static_cast<TSaveImageOperation&>(AOp);
            extension = measured.Extension();
            fileSize = measured.FileSize();
            byteCount = measured.ByteCount();
            exitCode = ACode;
            done = true;
        };
        thread.SendCommand(std::move(op));
        ASSERT_TRUE(WaitServingUi([&] { return done.load(); }, 20s));
    }
    EXPECT_EQ(exitCode.load(), 0);
    EXPECT_EQ(extension, QString::fromLatin1(c.Extension));

    test::TempRoot root;
    const auto saved = SaveImageFile(root.path() + "/picture", picture, c.Format);
    EXPECT_EQ(saved.Extension, "." + QString::fromLatin1(c.Extension).toLower());
    EXPECT_EQ(byteCount, QFileInfo(root.path() + "/picture").size());
    EXPECT_EQ(fileSize, SizeToText(byteCount));
}

INSTANTIATE_TEST_SUITE_P(Formats, SaveImageOperationTest,
                         testing::Values(TMeasureCase{"AutomaticFlatIsPng", pfAutomatic, false, "PNG"},
                                         TMeasureCase{"AutomaticNoisyIsJpeg", pfAutomatic, true, "JPG"},
                                         TMeasureCase{"Png", pfPNG, false, "PNG"},
                                         TMeasureCase{"Jpeg", pfJPEG, false, "JPG"},
                                         TMeasureCase{"Gif", pfGIF, false, "GIF"},
                                         TMeasureCase{"Bmp", pfBMP, false, "BMP"},
                                         TMeasureCase{"Tiff", pfTIFF, false, "TIF"}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

} // namespace
} // namespace pxh
