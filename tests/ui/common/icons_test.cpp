#include "ui/common/icons.h"
#include "widgettest.h"

// Every kind has a picture of its own, drawn (not scaled) at twice the size.
TEST(Icons, EachKindHasItsOwnPictureAndTheAnimationCycles)
{
    std::vector<QIcon> icons;
    for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 14})
        icons.push_back(GetImageIcon(n));
    for (ScanIcon s : {ScanIcon::Stopped, ScanIcon::Running, ScanIcon::Busy})
        icons.push_back(GetScanIcon(s));
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
        EXPECT_EQ(icons[n].pixmap(32, 32).size(), QSize(32, 32)) << n << " is scaled up";
        for (std::size_t i = 0; i < images.size(); ++i)
            EXPECT_NE(image, images[i]) << i << " and " << n << " look the same";
        images.push_back(image);
    }
    for (int n = 0; n < SCAN_ANIMATION_FRAMES; ++n)
        EXPECT_NE(GetScanAnimationFrame(n, 16).toImage(),
                  GetScanAnimationFrame((n + 1) % SCAN_ANIMATION_FRAMES, 16).toImage())
            << n;
}
