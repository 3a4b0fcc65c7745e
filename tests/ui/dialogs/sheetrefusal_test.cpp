#include "dialogtest.h"
#include "ui/dialogs/logsheets.h"

namespace {

// A sheet shown and active, refused or accepted by a click on OK.
class SheetRefusal : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_log.SetEnabled(TRUE); // the interval box takes input
        m_pSheet = std::make_unique<CDlgEditFile>(m_log, true, ADD_MODE_MENU);
        m_pSheet->show();
        QApplication::setActiveWindow(m_pSheet.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_pSheet.get()));
    }
    static void Tick(QCheckBox* box)
    {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
        ASSERT_TRUE(box->isChecked());
    }
    // After OK: the message, whether the sheet is open, its page and the focus.
    auto Refusal()
    {
        return std::tuple(m_messages.Last(), m_pSheet->isVisible(),
                          m_pSheet->GetTabs()->currentIndex(), QApplication::focusWidget());
    }

    CMessageRecorder m_messages;
    CFileMonitor m_log; // a new log: everything empty
    std::unique_ptr<CDlgEditFile> m_pSheet;
};

} // namespace

TEST_F(SheetRefusal, OkKeepsTheSheetOpenWithTheFocusOnTheFieldAtFault)
{
    QWidget* path = Child<QLineEdit>(m_pSheet.get(), "path");
    Type(Child<QLineEdit>(m_pSheet.get(), "description"), "Web server");
    m_pSheet->GetTabs()->setCurrentIndex(2);
    ClickOk(m_pSheet.get());
    EXPECT_EQ(Refusal(), std::tuple(std::string("No log(s) were selected."), true, 0, path));
    EXPECT_EQ(Child<QLineEdit>(m_pSheet.get(), "description")->text(), "Web server")
        << "nothing lost";

    Type(path, "/srv/web.log");
    auto* impersonate = Child<QCheckBox>(m_pSheet.get(), "impersonate");
    m_pSheet->GetTabs()->setCurrentIndex(2);
    Tick(impersonate);
    m_pSheet->GetTabs()->setCurrentIndex(0);
    ClickOk(m_pSheet.get());
    EXPECT_EQ(Refusal(), std::tuple(std::string("Not all required fields are filled in!"), true, 2,
                                    Child<QWidget>(m_pSheet.get(), "user")));
    EXPECT_TRUE(m_log.GetFilePath().empty()) << "nothing written while refused";

    QTest::keyClicks(QApplication::focusWidget(), "backup");
    auto* password = Child<QLineEdit>(m_pSheet.get(), "password");
    Type(password, "two words");
    ClickOk(m_pSheet.get());
    EXPECT_EQ(Refusal(), std::tuple(std::string("Passwords cannot contain spaces!"), true, 2,
                                    static_cast<QWidget*>(password)));
    Type(password, "secret");
    ClickOk(m_pSheet.get());
    EXPECT_EQ(std::tuple(m_pSheet->isVisible(), m_pSheet->result(), m_log.GetFilePath(),
                         m_log.GetLogonUser(), m_log.GetLogonPassword()),
              std::tuple(false, int{QDialog::Accepted}, std::string("/srv/web.log"),
                         std::string("backup"), std::string("secret")));
}

TEST_F(SheetRefusal, TypedIntervalsOutOfRangeAreRefused)
{
    Type(Child<QLineEdit>(m_pSheet.get(), "path"), "/srv/web.log");
    auto* interval = Child<QSpinBox>(m_pSheet.get(), "interval");
    for (const char* typed : {"0", "86401"}) {
        SCOPED_TRACE(typed);
        Type(interval, typed);
        ClickOk(m_pSheet.get());
        EXPECT_EQ(Refusal(), std::tuple(std::string("Please enter an integer between 1 and 86400."),
                                        true, 0, static_cast<QWidget*>(interval)));
        EXPECT_EQ(interval->text(), typed) << "kept as typed, not clamped";
    }
    m_messages.texts.clear();
    Type(interval, "86400");
    ClickOk(m_pSheet.get());
    EXPECT_TRUE(m_messages.texts.empty());
    EXPECT_FALSE(m_pSheet->isVisible());
    EXPECT_EQ(m_log.GetInterval(), 86400);
}
