#include "dialogtest.h"
#include "platform/base/clock.h"
#include "platform/base/modeltime.h"
#include "screenshot.h"
#include "ui/dialogs/formattedfilename.h"

namespace {

// Noon of 27 July 2001, local time, on the model's clock.
class FormattedFilename : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_clock.SetSeconds(CTime(2001, 7, 27, 12, 0, 0).GetTime());
        SetClock(&m_clock);
    }
    void TearDown() override { SetClock(nullptr); }

    CManualClock m_clock;
};

QPushButton* FieldButton(QWidget* dlg, const char* code)
{
    return Child<QPushButton>(dlg, (std::string("field_") + code).c_str());
}

} // namespace

TEST_F(FormattedFilename, SamplesFollowTheTemplateThatButtonsBuildAndOkNeedsTwoCharacters)
{
    CDlgFormattedFilename dlg("%Y%m%d.log");
    QListWidget* samples = dlg.GetSamples();
    // The count of samples, the first, the eleventh and the last.
    auto shown = [&] {
        return QStringList{QString::number(samples->count()), samples->item(0)->text(),
                           samples->item(10)->text(), samples->item(19)->text()};
    };
    EXPECT_EQ(shown(), (QStringList{"20", "20010717.log", "20010727.log", "20010805.log"}));
    Child<QLineEdit>(&dlg, "template")->setText("fixed.log");
    EXPECT_EQ(shown(), (QStringList{"20", "fixed.log", "fixed.log", "fixed.log"}))
        << "the samples follow the typed text";

    // The field buttons insert their code at the caret.
    auto* edit = Child<QLineEdit>(&dlg, "template");
    edit->setText("ex.log");
    edit->setCursorPosition(2);
    for (const char* code : {"y", "m", "d"})
        FieldButton(&dlg, code)->click();
    EXPECT_EQ(edit->text(), "ex%y%m%d.log");
    EXPECT_EQ(dlg.GetSamples()->item(10)->text(), "ex010727.log")
        << "an inserted code rebuilds the samples";

    dlg.show();
    SaveScreenshot(&dlg, "formatted-filename");
    edit->setSelection(2, 6); // "%y%m%d"
    FieldButton(&dlg, "A")->click();
    EXPECT_EQ(edit->text(), "ex%A.log") << "a code replaces the selection";
    EXPECT_EQ(dlg.GetSamples()->item(10)->text(), "exFriday.log");

    // The template holds at most fifty characters.
    const std::string start(48, 'a');
    edit->setText(QString::fromStdString(start));
    edit->end(false);
    FieldButton(&dlg, "Y")->click();
    EXPECT_EQ(edit->text().size(), 50);
    FieldButton(&dlg, "m")->click();
    EXPECT_EQ(edit->text().toStdString(), start + "%Y")
        << "a code that does not fit whole is left out";
    QTest::keyClicks(edit, "zz");
    EXPECT_EQ(edit->text().size(), 50);

    // OK needs two characters.
    CMessageRecorder messages;
    edit->setText("x");
    dlg.accept();
    EXPECT_EQ(messages.Last(), "This is an invalid template! Use the template builder buttons to "
                               "create a legal template");
    edit->setText("%d");
    dlg.accept();
    EXPECT_EQ(std::pair(dlg.result(), dlg.GetTemplate()),
              std::pair(int{QDialog::Accepted}, std::string("%d")));
}
