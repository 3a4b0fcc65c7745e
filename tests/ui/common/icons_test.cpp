#include <QImage>

#include <gtest/gtest.h>

#include "ui/common/icons.h"

// Every image index the model and the tree hand out has a picture, and no
// two kinds of node look alike; other indexes give no picture.
TEST(Icons, EachImageIndexHasItsOwnPicture)
{
    const int indexes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 14};
    std::vector<QImage> images;
    for (int n : indexes) {
        const QIcon icon = GetImageIcon(n);
        ASSERT_FALSE(icon.isNull()) << n;
        const QImage image = icon.pixmap(16, 16).toImage();
        ASSERT_FALSE(image.isNull()) << "index " << n << " does not render";
        for (std::size_t i = 0; i < images.size(); ++i)
            EXPECT_NE(image, images[i])
                << "indexes " << indexes[i] << " and " << n << " look the same";
        images.push_back(image);
    }
    EXPECT_TRUE(GetImageIcon(11).isNull());
    EXPECT_TRUE(GetImageIcon(-1).isNull());

    const QImage stopped = GetScanIcon(ScanIcon::Stopped).pixmap(16, 16).toImage();
    const QImage running = GetScanIcon(ScanIcon::Running).pixmap(16, 16).toImage();
    const QImage busy = GetScanIcon(ScanIcon::Busy).pixmap(16, 16).toImage();
    EXPECT_FALSE(stopped.isNull());
    EXPECT_NE(stopped, running);
    EXPECT_NE(running, busy);
}

// The animation moves: consecutive frames differ and frame 12 is frame 0.
TEST(Icons, ScanAnimationCyclesThroughTwelveFrames)
{
    for (int n = 0; n < SCAN_ANIMATION_FRAMES; ++n)
        EXPECT_NE(GetScanAnimationFrame(n, 16).toImage(),
                  GetScanAnimationFrame(n + 1, 16).toImage())
            << n;
    EXPECT_EQ(GetScanAnimationFrame(SCAN_ANIMATION_FRAMES, 16).toImage(),
              GetScanAnimationFrame(0, 16).toImage());
}

// The event types and the command bars' pictures are the program's own, all
// different from each other (an audit failure never looks like an error),
// and crisp when drawn at twice the size.
TEST(Icons, EventTypesAndItemCommandsLookDistinctAtAnyScale)
{
    std::vector<QIcon> icons;
    for (EventIcon e : {EventIcon::Error, EventIcon::Warning, EventIcon::Information,
                        EventIcon::AuditSuccess, EventIcon::AuditFailure})
        icons.push_back(GetEventIcon(e));
    for (ToolIcon t :
         {ToolIcon::Add, ToolIcon::Edit, ToolIcon::Delete, ToolIcon::Duplicate, ToolIcon::Browse})
        icons.push_back(GetToolIcon(t));
    std::vector<QImage> images;
    for (std::size_t n = 0; n < icons.size(); ++n) {
        const QImage image = icons[n].pixmap(16, 16).toImage();
        ASSERT_FALSE(image.isNull()) << n;
        EXPECT_EQ(icons[n].pixmap(32, 32).size(), QSize(32, 32)) << "drawn, not scaled up";
        for (std::size_t i = 0; i < images.size(); ++i)
            EXPECT_NE(image, images[i]) << i << " and " << n << " look the same";
        images.push_back(image);
    }
}
