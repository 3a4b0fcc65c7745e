#include "ui/common/messagebox.h"
#include "widgettest.h"

namespace {

// Presses the button with the given text on the next message box shown.
void PressOnNextBox(const QString& text)
{
    QTimer::singleShot(0, [text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* b : box->buttons())
            if (b->text().remove('&') == text) {
                b->click();
                return;
            }
        box->reject();
    });
}

} // namespace

TEST(MessageBox, ButtonsGiveTheWindowsAnswers)
{
    PressOnNextBox("No");
    EXPECT_EQ(ShowMessageBox(nullptr, "Delete?", MB_YESNO | MB_ICONQUESTION), IDNO);
    PressOnNextBox("Cancel");
    EXPECT_EQ(ShowMessageBox(nullptr, "Save?", MB_YESNOCANCEL), IDCANCEL);
    PressOnNextBox("Yes");
    EXPECT_EQ(ShowMessageBox(nullptr, "Save?", MB_YESNOCANCEL), IDYES);
    PressOnNextBox("(escape)");
    EXPECT_EQ(ShowMessageBox(nullptr, "Delete?", MB_YESNO), IDNO)
        << "closing a Yes/No box means No";
}
