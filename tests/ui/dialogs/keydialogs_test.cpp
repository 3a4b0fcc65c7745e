#include "dialogtest.h"
#include "eventrecords/eventstruct.h"
#include "match/searchkeyevent.h"
#include "screenshot.h"
#include "ui/dialogs/eventkeydialog.h"
#include "ui/dialogs/extendedcomparisons.h"
#include "ui/dialogs/textkeydialog.h"

namespace {

void ChooseMode(CDlgTextKey& dlg, int index)
{
    auto* mode = Child<QComboBox>(&dlg, "mode");
    mode->setCurrentIndex(index);
    emit mode->activated(index);
}

void SetOperator(CDlgExtendedComparisons& dlg, DWORD op, const char* a = "", const char* b = "")
{
    auto* combo = Child<QComboBox>(&dlg, "operator");
    const int index = combo->findData(static_cast<uint>(op));
    ASSERT_GE(index, 0) << "operator " << op << " not offered";
    combo->setCurrentIndex(index);
    Child<QLineEdit>(&dlg, "value1")->setText(a);
    Child<QLineEdit>(&dlg, "value2")->setText(b);
}

CEventStruct MakeEvent(const char* source, DWORD id)
{
    CEventStruct e;
    e.m_strSource = source;
    e.m_nEventID = id;
    e.m_nEventType = 1;
    e.m_strUser = "SYSTEM";
    e.m_strComputer = "SRV1";
    return e;
}

} // namespace

// OK refuses a missing key the mode needs; else the key finds the lines "Find:" names.
TEST(TextKeyDialog, OkChecksTheKeysAndTheKeyMadeMatchesTheLinesItWasMadeFor)
{
    const char* const noKey1 =
        "You must enter a value for Key 1 if you wish to include it in the search!";
    const char* const noKey2 =
        "You must enter a value for Key 2 if you wish to include it in the search!";
    // Mode, keys, match case, the message ("" when OK is taken), a line matched and one not.
    const std::tuple<int, const char*, const char*, bool, const char*, const char*, const char*>
        cases[] = {
            {2, "", "full", false, noKey1, "", ""},
            {3, "disk", "", false, noKey2, "", ""},
            {0, "disk", "full", false, "", "DISK full on /var", "memory low"},
            {1, "disk", "memory", false, "", "memory full", "cpu hot"},     // either
            {2, "disk", "full", false, "", "disk is full", "disk is fine"}, // both
            {3, "disk", "full", false, "", "disk is fine", "disk is full"}, // without
            {0, "disk", "full", true, "", "disk full", "DISK full"},
        };
    for (const auto& [mode, key1, key2Text, bCase, message, match, noMatch] : cases) {
        SCOPED_TRACE(std::to_string(mode) + " " + key1 + "/" + key2Text);
        CMessageRecorder messages;
        CSearchKeyText key;
        key.m_nHits = 5;
        key.m_nMode = TextKeyMode::OR;
        key.m_strKey2 = "b";
        CDlgTextKey dlg(key);
        auto* key2 = Child<QLineEdit>(&dlg, "key2");
        EXPECT_EQ(Child<QComboBox>(&dlg, "mode")->currentText(), "Either Key 1 or Key 2");
        ChooseMode(dlg, 0); // Key 1 Only empties and disables Key 2
        EXPECT_EQ(std::pair(key2->text(), key2->isEnabled()), std::pair(QString(), false));
        ChooseMode(dlg, mode);
        EXPECT_EQ(key2->isEnabled(), mode != 0);
        Child<QLineEdit>(&dlg, "key1")->setText(key1);
        key2->setText(key2Text);
        Child<QCheckBox>(&dlg, "case")->setChecked(bCase);
        dlg.accept();
        EXPECT_EQ(messages.Last(), message);
        EXPECT_EQ(dlg.result() == QDialog::Accepted, !*message);
        if (*message)
            EXPECT_EQ(key.m_strKey1, "") << "the key is written only when OK is taken";
        else // OK resets the key (and its hits) before filling it
            EXPECT_EQ(std::tuple(key.Match(match), key.Match(noMatch), key.m_nHits.load()),
                      std::tuple(TRUE, FALSE, 0));
    }
}

// The help line follows the boxes; OK checks and reads each kind of field.
TEST(ExtendedComparisons, HelpLineAndOkFollowTheValuesOfEachKindOfField)
{
    const char* const ab = "Value A must be less than value B!";
    const char* const noValue = "You must enter a value!";
    // Field, operator, values A and B, the message, the numbers read.
    const std::tuple<EventField, DWORD, const char*, const char*, const char*, std::vector<DWORD>>
        cases[] = {
            {EventField::EVENTID, OP_BETWEEN, "200", "100", ab, {}},
            {EventField::EVENTID, OP_EQUAL, "12abc", "", "", {12}},
            {EventField::TEXT, OP_CONTAINS, "bad block", "", "", {}},
            {EventField::EVENTID, OP_ONE_OF, "", "", "You must enter at least one value!", {}},
            {EventField::SOURCE, OP_EQUAL, "", "", noValue, {}},
            {EventField::TEXT, OP_CONTAINS, "", "", noValue, {}},
            {EventField::TYPE, OP_ONE_OF, "", "", "You must check at least one type!", {}},
        };
    for (const auto& [field, op, a, b, message, values] : cases) {
        SCOPED_TRACE(std::string(GetFieldLabel(field)) + " " + std::to_string(op) + " " + a + " " +
                     b);
        CMessageRecorder messages;
        CDlgExtendedComparisons dlg(field, {});
        SetOperator(dlg, op, a, b);
        dlg.accept();
        EXPECT_EQ(messages.Last(), message);
        EXPECT_EQ(dlg.result() == QDialog::Accepted, !*message);
        if (!*message) {
            EXPECT_EQ(std::pair(dlg.GetCriterion().nOperator, dlg.GetCriterion().arrNumbers),
                      std::pair(op, values));
        }
    }
    const std::tuple<EventField, DWORD, const char*, const char*, const char*> helps[] = {
        {EventField::TYPE, OP_ONE_OF, "", "", "Event Type is one of the checked types in the list"},
        {EventField::SOURCE, OP_NONE, "", "", "Source is ignored, it can be any value"},
        {EventField::EVENTID, OP_AT_LEAST, "5", "", "Event ID is greater than or equal to '5'."},
        {EventField::CATEGORY, OP_BETWEEN, "1", "3",
         "Category ID is between '1' and '3' inclusive."},
        {EventField::CATEGORY, OP_NOT_BETWEEN, "1", "3",
         "Category ID is either less than '1', or greater than '3'."},
        {EventField::TEXT, OP_CONTAINS, "bad block", "",
         "Event Text contains the value 'bad block'. The match is not case-sensitive."},
    };
    for (const auto& [field, op, a, b, help] : helps) {
        CDlgExtendedComparisons dlg(field, {});
        SetOperator(dlg, op, a, b);
        EXPECT_EQ(std::pair(dlg.GetHelpLine(), Child<QLabel>(&dlg, "help")->text()),
                  std::pair(QString(help), QString(help)));
    }

    // A regular expression must compile; a good one reaches the key.
    CMessageRecorder messages;
    CDlgExtendedComparisons dlg(EventField::TEXT, {});
    SetOperator(dlg, OP_REGEX, "disk (C|D");
    dlg.accept();
    EXPECT_EQ(messages.Last(),
              "The value is not a valid regular expression: missing ): at position 6");
    Child<QLineEdit>(&dlg, "value1")->setText("disk (C|D):");
    dlg.accept();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    CSearchKeyEvent key;
    ApplyFieldCriterion(key, EventField::TEXT, dlg.GetCriterion());
    EXPECT_EQ(key.GetTextOperator(), OP_REGEX);
    EXPECT_TRUE(key.Match(CEventStruct(), "DISK C: full"));
}

TEST(ExtendedComparisons, ControlsFollowTheOperatorAndListsTakeNewValuesAndTypes)
{
    CMessageRecorder messages;
    CDlgExtendedComparisons dlg(EventField::EVENTID, {});
    auto hidden = [&] {
        return std::pair(Child<QLineEdit>(&dlg, "value2")->isHidden(),
                         Child<QListWidget>(&dlg, "list")->isHidden());
    };
    SetOperator(dlg, OP_BETWEEN);
    EXPECT_EQ(hidden(), std::pair(false, true));
    SetOperator(dlg, OP_NOT_ONE_OF);
    EXPECT_EQ(hidden(), std::pair(true, false));
    CDlgExtendedComparisons source(EventField::SOURCE, {});
    EXPECT_EQ(Child<QComboBox>(&source, "operator")->findText("Is between"), -1)
        << "ranges are for numbers";

    QPushButton* add = nullptr;
    for (QPushButton* b : dlg.findChildren<QPushButton*>())
        if (b->text() == "Add")
            add = b;
    ASSERT_NE(add, nullptr);
    for (const char* value : {"7", "11"}) {
        OnNextDialog<QInputDialog>([value](QInputDialog* input) {
            EXPECT_EQ(input->windowTitle(), "New Value");
            EXPECT_EQ(input->labelText(), "Enter a new value:");
            input->setTextValue(value);
            input->accept();
        });
        add->click();
    }
    dlg.accept();
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_EQ(std::pair(dlg.GetCriterion().nOperator, dlg.GetCriterion().arrNumbers),
              std::pair(DWORD{OP_NOT_ONE_OF}, std::vector<DWORD>{7, 11}));

    // Equal to an event type keeps one checked type; lists take several.
    CFieldCriterion start;
    start.nOperator = OP_ONE_OF;
    start.arrNumbers = {4, 1};
    CDlgExtendedComparisons typeDlg(EventField::TYPE, start);
    auto* types = Child<QListWidget>(&typeDlg, "types");
    auto item = [&](const char* text) { return types->findItems(text, Qt::MatchExactly).at(0); };
    auto checked = [&] {
        QStringList names;
        for (int i = 0; i < types->count(); ++i)
            if (types->item(i)->checkState() == Qt::Checked)
                names << types->item(i)->text();
        return names;
    };
    ASSERT_EQ(checked(), (QStringList{"Information", "Error/Stop"}));

    types->setCurrentItem(item("Error/Stop"));
    SetOperator(typeDlg, OP_EQUAL);
    EXPECT_EQ(checked(), QStringList{"Error/Stop"});
    EXPECT_TRUE(messages.texts.empty());
    types->setCurrentItem(item("Warnings"));
    item("Warnings")->setCheckState(Qt::Checked);
    EXPECT_EQ(messages.Last(), "You can only select one type!");
    EXPECT_EQ(checked(), QStringList{"Warnings"});
    EXPECT_EQ(typeDlg.GetHelpLine(), "Event Type is equal to 'Warnings'");

    SetOperator(typeDlg, OP_NOT_ONE_OF);
    item("Audit Failure")->setCheckState(Qt::Checked);
    EXPECT_EQ(messages.texts.size(), 1u) << "lists take several types";
    typeDlg.accept();
    EXPECT_EQ(typeDlg.GetCriterion().arrNumbers, (std::vector<DWORD>{2, 16}));
}

TEST(EventKeyDialog, KeyMadeFieldByFieldMatchesTheEvent)
{
    CMessageRecorder messages;
    CSearchKeyEvent key;
    CDlgEventKey dlg(key);
    dlg.accept();
    EXPECT_EQ(messages.Last(), "You must select something to search for!");
    EXPECT_NE(dlg.result(), QDialog::Accepted);

    // Field 1 is the source, field 3 the event ID.
    auto edit = [&](const char* button, DWORD op, const char* a, const char* b = "") {
        OnNextDialog<CDlgExtendedComparisons>([=](CDlgExtendedComparisons* d) {
            SetOperator(*d, op, a, b);
            d->accept();
        });
        Child<QToolButton>(&dlg, button)->click();
    };
    edit("edit1", OP_EQUAL, "Disk");
    edit("edit3", OP_BETWEEN, "5", "9");
    EXPECT_EQ(key.m_dwOperators, 0u) << "the key changes only on OK";
    EXPECT_EQ(Child<QLineEdit>(&dlg, "field1")->text().toStdString(), "Source is equal to 'Disk'");
    EXPECT_TRUE(Child<QLineEdit>(&dlg, "field0")->text().isEmpty())
        << "an ignored field shows nothing";
    dlg.show();
    SaveScreenshot(&dlg, "event-key-dialog");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ((std::vector<BOOL>{key.Match(MakeEvent("Disk", 7), "text"),
                                 key.Match(MakeEvent("Disk", 0x80000009), "text"),
                                 key.Match(MakeEvent("Disk", 10), "text"),
                                 key.Match(MakeEvent("Cdrom", 7), "text")}),
              (std::vector<BOOL>{TRUE, TRUE, FALSE, FALSE}))
        << "the low 16 bits of the ID are compared";

    // Editing the key again starts from its criteria; Ignore clears a field.
    CDlgEventKey again(key);
    OnNextDialog<CDlgExtendedComparisons>([](CDlgExtendedComparisons* d) {
        EXPECT_EQ(d->GetOperator(), DWORD{OP_BETWEEN});
        EXPECT_EQ(Child<QLineEdit>(d, "value2")->text(), "9");
        SetOperator(*d, OP_NONE);
        d->accept();
    });
    again.EditField(EventField::EVENTID);
    again.accept();
    EXPECT_TRUE(key.Match(MakeEvent("Disk", 10), "text"));
}
