
#include "platform/base/fileio.h"
#include "screenshot.h"
#include "settings/appsettings.h"
#include "ui/settings/autostart.h"
#include "ui/settings/settingspages.h"
#include "ui/settings/settingssheet.h"
#include "widgettest.h"

namespace {

// A sheet on screen with every page shown once.
struct CSheet {
    explicit CSheet(CQuorvilDoc* pDoc = nullptr) : sheet(pDoc)
    {
        sheet.show();
        for (int i = sheet.GetTabs()->count() - 1; i >= 0; --i)
            sheet.GetTabs()->setCurrentIndex(i);
    }
    template <typename T> T* Get(const char* name)
    {
        T* widget = sheet.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // Types into an edit as the user does, so that the page is modified.
    void Type(const char* name, const QString& text) { ::Type(Get<QLineEdit>(name), text); }
    void Check(const char* name, bool bOn)
    {
        QCheckBox* box = Get<QCheckBox>(name);
        if (box->isChecked() != bOn)
            box->click();
    }
    CDlgAppSettings sheet;
};

std::string HiveText()
{
    return ReadFileBytes(QuorvilConfigDir() + "/HKCU.reg").value_or("");
}

} // namespace

// A text, a switch and a number of the pages, and the font the views are told of.
TEST(SettingsSheet, EveryPageWritesItsValuesToTheUserHiveAndShowsThemAgain)
{
    CQuorvilDoc doc;
    CHintRecorder views(doc);
    {
        CSheet s(&doc);
        EXPECT_EQ(Texts(s.sheet.GetTabs()),
                  QStringList({"Fonts", "Utilities", "Editors", "Advanced", "Backups", "Audit"}));
        EXPECT_FALSE(s.sheet.GetApplyButton()->isEnabled()) << "nothing changed yet";
        QFont courier("Courier New", 12);
        courier.setBold(true);
        s.sheet.findChild<CPageSelectedFonts*>()->ChooseFont(courier);
        EXPECT_EQ(s.sheet.findChild<QLabel*>("description")->text(), "Courier New, 12, Bold");
        EXPECT_TRUE(s.sheet.GetApplyButton()->isEnabled());
        s.Type("fastMark", "-- checked by the night shift --");
        s.Type("sqlEditor", "/opt/sql/bin/editor");
        s.Check("reloadWorkspace", true);
        s.Check("jumpToEnd", false);
        s.Check("autoScan", true);
        s.Check("runDelay", true);
        s.Type("scanDelay", "3600");
        s.Check("autoBackup", true);
        s.Type("autoBackupDir", "/srv/backups");
        s.Check("extendedAudit", true);
        s.Type("auditNT", "/var/log/event-audit.txt");
        s.sheet.accept();
        EXPECT_EQ(s.sheet.result(), QDialog::Accepted);
    }
    const std::string hive = HiveText();
    for (const char* written :
         {"\"FastMark\"=\"-- checked by the night shift --\"", "\"ScanDelay\"=dword:00000e10",
          "\"AutoBackupDir\"=\"/srv/backups\"", "\"SQLEditor\"=\"/opt/sql/bin/editor\"",
          "\"JumpToEnd\"=dword:00000000", "Courier New"})
        EXPECT_NE(hive.find(written), std::string::npos) << written << " in\n" << hive;
    EXPECT_EQ(AppSettings::GetAuditNT(), "/var/log/event-audit.txt");
    LOGFONT font;
    AppSettings::GetViewFont(font);
    // A character height, as the font description keeps it, is negative.
    EXPECT_EQ(std::tuple(font.lfWeight, font.lfItalic, font.lfHeight < 0),
              std::tuple(700, 0, true));
    EXPECT_EQ(views.m_hints,
              (std::vector<std::pair<ViewHint, DWORD>>{{ViewHint::SettingsChanged, 0}}));

    // A new sheet shows what the last one wrote.
    CSheet s;
    EXPECT_EQ(
        std::tuple(
            s.Get<QLineEdit>("fastMark")->text(), s.Get<QCheckBox>("reloadWorkspace")->isChecked(),
            s.Get<QCheckBox>("jumpToEnd")->isChecked(), s.Get<QLineEdit>("scanDelay")->text()),
        std::tuple(QString("-- checked by the night shift --"), true, false, QString("3600")));
    EXPECT_EQ(s.sheet.findChild<CPageSelectedFonts*>()->GetDescription(), "Courier New, 12, Bold");
    EXPECT_FALSE(s.sheet.GetApplyButton()->isEnabled()) << "nothing changed yet";
    s.sheet.GetTabs()->setCurrentIndex(3);
    SaveScreenshot(&s.sheet, "settings-advanced");
}

TEST(SettingsSheet, DependentOptionsAreGrayedAndALongDelayIsRefused)
{
    CMessageRecorder boxes;
    CSheet s;
    s.Check("reloadWorkspace", true);
    s.Check("autoScan", true);
    s.Check("runDelay", true);
    s.Type("scanDelay", "120");
    // Which of the fields are enabled, as 1 and 0.
    auto enabled = [&](std::initializer_list<const char*> names) {
        std::string flags;
        for (const char* name : names)
            flags += s.Get<QWidget>(name)->isEnabled() ? '1' : '0';
        return flags;
    };
    EXPECT_EQ(enabled({"scanDelay"}), "1");
    s.Check("runDelay", false);
    EXPECT_EQ(enabled({"scanDelay"}), "0");
    s.Check("runDelay", true);
    s.Check("reloadWorkspace", false);
    EXPECT_EQ(enabled({"jumpToEnd", "autoScan", "runDelay", "scanDelay"}), "0000");

    // Grayed values are still written.
    ASSERT_TRUE(s.sheet.Apply());
    EXPECT_EQ(std::tuple(AppSettings::GetScanDelay(), AppSettings::GetRunDelay(),
                         AppSettings::GetReloadWorkspace()),
              std::tuple(120, 1, 0));

    s.Check("reloadWorkspace", true);
    s.Type("scanDelay", "3601");
    s.sheet.GetTabs()->setCurrentIndex(0);
    s.sheet.accept();
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Please enter an integer between 0 and 3600."});
    EXPECT_EQ(std::tuple(s.sheet.result() == QDialog::Accepted, s.sheet.GetTabs()->currentIndex(),
                         AppSettings::GetScanDelay(), AppSettings::GetReloadWorkspace()),
              std::tuple(false, 3, 120, 0))
        << "the Advanced page is shown again and nothing of it was written";

    // The backup folder and the audit files follow their switches too.
    for (bool bOn : {false, true}) {
        s.Check("autoBackup", bOn);
        s.Check("extendedAudit", bOn);
        EXPECT_EQ(enabled({"autoBackupDir", "auditText", "auditNT", "auditBackup"}),
                  bOn ? "1111" : "0000");
    }
}

TEST(SettingsSheet, RunAtLogonWritesAndRemovesTheAutostartEntry)
{
    const std::string entry = AutostartEntryPath();
    EXPECT_EQ(entry, std::string(std::getenv("XDG_CONFIG_HOME")) + "/autostart/quorvil.desktop");
    std::remove(entry.c_str());
    // Another program's entry beside ours stays.
    EnsureDirectory(DirectoryOf(entry));
    std::ofstream(DirectoryOf(entry) + "/other.desktop") << "[Desktop Entry]\n";
    {
        CSheet s;
        EXPECT_FALSE(s.Get<QCheckBox>("runAtLogon")->isChecked());
        s.Check("runAtLogon", true);
        s.sheet.accept();
    }
    // The program starts hidden, by its full path.
    const std::string text = ReadFileBytes(entry).value_or("");
    for (const char* part : {"[Desktop Entry]\n", "\" /h\n", "Exec=\"/"})
        EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
    {
        CSheet s;
        EXPECT_TRUE(s.Get<QCheckBox>("runAtLogon")->isChecked());
        s.Check("runAtLogon", false);
        s.sheet.accept();
    }
    EXPECT_FALSE(IsRunAtLogon());
    EXPECT_TRUE(ReadFileBytes(DirectoryOf(entry) + "/other.desktop").has_value());
}
