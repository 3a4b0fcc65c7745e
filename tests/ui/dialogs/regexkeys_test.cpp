#include "core/grouprules.h"
#include "dialogtest.h"
#include "match/searchkeyregex.h"
#include "ui/dialogs/grouprulesdialog.h"
#include "ui/dialogs/keytesterdialog.h"
#include "ui/dialogs/regexkeydialog.h"

// The status line follows pattern and sample; OK refuses a bad pattern.
TEST(RegexKeyDialog, ShowsCapturesAndRefusesBadPatterns)
{
    CMessageRecorder messages;
    CSearchKeyRegex key;
    CDlgRegexKey dlg(key);
    auto* pattern = Child<QLineEdit>(&dlg, "pattern");
    pattern->setText("from (?P<ip>\\S+");
    EXPECT_EQ(dlg.GetStatus(), "Error: missing ): at position 6");
    dlg.accept();
    EXPECT_EQ(messages.Last(),
              "The pattern is not a valid regular expression: missing ): at position 6");
    EXPECT_TRUE(dlg.result() != QDialog::Accepted && key.GetPattern().empty());

    pattern->setText("from (?P<ip>\\S+)");
    Child<QLineEdit>(&dlg, "sample")->setText("Failed password for root from 10.0.0.7 port 22");
    EXPECT_EQ(dlg.GetStatus(),
              "Matches:\n%MATCH_0% = from 10.0.0.7\n%MATCH_1% = 10.0.0.7\n%MATCH:ip% = 10.0.0.7");
    dlg.accept();
    EXPECT_EQ(std::tuple(dlg.result(), key.GetPattern(), key.IsBroken()),
              std::tuple(int{QDialog::Accepted}, std::string("from (?P<ip>\\S+)"), false));
}

TEST(GroupRulesDialog, ChecksTheValuesAndKeepsThem)
{
    CMessageRecorder messages;
    CGroupRules rules;
    CDlgGroupRules dlg(rules);
    Child<QCheckBox>(&dlg, "threshold")->setChecked(true);
    Child<QSpinBox>(&dlg, "count")->setValue(5);
    Child<QSpinBox>(&dlg, "seconds")->setValue(600);
    Child<QLineEdit>(&dlg, "per")->setText("ip");
    Child<QCheckBox>(&dlg, "silence")->setChecked(true);
    Child<QRadioButton>(&dlg, "by")->setChecked(true);
    Child<QLineEdit>(&dlg, "time")->setText("6:00");
    dlg.accept();
    EXPECT_EQ(messages.Last(),
              "Count per value of a variable such as %MATCH:ip%, or leave it empty.");
    Child<QLineEdit>(&dlg, "per")->setText("%MATCH:ip%");
    dlg.accept();
    EXPECT_EQ(messages.Last(), "The deadline must be a time of day as HH:MM, from 00:00 to 23:59.");
    EXPECT_FALSE(rules.IsUsed()) << "nothing is written before OK";
    Child<QLineEdit>(&dlg, "time")->setText("06:00");
    Child<QCheckBox>(&dlg, "day1")->setChecked(true);
    Child<QCheckBox>(&dlg, "day5")->setChecked(true);
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(rules.m_threshold, (CThresholdRule{true, 5, 600, "%MATCH:ip%"}));
    EXPECT_EQ(std::pair(rules.m_silence.strBy, rules.m_silence.weekdays),
              std::pair(std::string("06:00"), std::vector<int>{1, 5}));
}

// Sample lines list and highlight the hits; the log's own hit counters stay.
TEST(KeyTester, ListsAndHighlightsHitsWhileTyping)
{
    RegisterTextLogClasses();
    CFileMonitor log;
    CKeysAndActions* pGroup = TextGroup("SSH", {});
    pGroup->AddKey(new CSearchKeyRegex("from (?P<ip>\\S+)", false));
    auto* pLiteral = new CSearchKeyText;
    pLiteral->m_strKey1 = "root";
    pGroup->AddKey(pLiteral);
    log.AddWatchGroup(pGroup);
    auto* dlg = new CDlgKeyTester(log, "");
    dlg->GetSample()->setPlainText("nothing here\nlogin by root from 10.1.1.1\n");
    QTreeWidget* results = dlg->GetResults();
    ASSERT_EQ(results->topLevelItemCount(), 1);
    const QTreeWidgetItem* item = results->topLevelItem(0);
    EXPECT_EQ((QStringList{item->text(0), item->text(1), item->text(2)}),
              (QStringList{"2", "SSH", "1, 2"}));
    EXPECT_TRUE(item->text(3).startsWith("%MATCH:ip% = 10.1.1.1")) << item->text(3).toStdString();
    QStringList texts;
    for (const auto& h : dlg->GetSample()->extraSelections())
        texts << h.cursor.selectedText();
    texts.sort();
    EXPECT_EQ(texts, (QStringList{"from 10.1.1.1", "root"}));
    EXPECT_EQ(pGroup->GetKey(0)->m_nHits.load(), 0);
    delete dlg;
}
