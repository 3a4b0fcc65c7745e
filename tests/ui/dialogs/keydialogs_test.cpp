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

void SetOperator(CDlgExtendedComparisons& dlg, DWORD op)
{
    auto* combo = Child<QComboBox>(&dlg, "operator");
    const int index = combo->findData(static_cast<uint>(op));
    ASSERT_GE(index, 0) << "operator " << op << " not offered";
    combo->setCurrentIndex(index);
}

QListWidgetItem* TypeItem(CDlgExtendedComparisons& dlg, const char* text)
{
    auto items = Child<QListWidget>(&dlg, "types")->findItems(text, Qt::MatchExactly);
    return items.isEmpty() ? nullptr : items.front();
}

CEventStruct MakeEvent(const char* source, DWORD id, WORD type = 1)
{
    CEventStruct e;
    e.m_strSource = source;
    e.m_nEventID = id;
    e.m_nEventType = type;
    e.m_strUser = "SYSTEM";
    e.m_strComputer = "SRV1";
    return e;
}

} // namespace

// OK refuses a key that the mode needs and is missing, and writes nothing
// then; otherwise the key made finds the lines its entry of "Find:" names.
TEST(TextKeyDialog, OkChecksTheKeysAndTheKeyMadeMatchesTheLinesItWasMadeFor)
{
    const char* const noKey1 =
        "You must enter a value for Key 1 if you wish to include it in the search!";
    const char* const noKey2 =
        "You must enter a value for Key 2 if you wish to include it in the search!";
    struct Case {
        int mode;
        const char* key1;
        const char* key2;
        bool bCase;
        const char* message; // "" when OK is taken
        const char* match = "";
        const char* noMatch = "";
    };
    const Case cases[] = {
        {0, "", "", false, noKey1},
        {2, "", "full", false, noKey1},
        {1, "disk", "", false, noKey2},
        {3, "disk", "", false, noKey2},
        {0, "disk", "full", false, "", "DISK full on /var", "memory low"},
        {1, "disk", "memory", false, "", "memory full", "cpu hot"},     // either
        {2, "disk", "full", false, "", "disk is full", "disk is fine"}, // both
        {3, "disk", "full", false, "", "disk is fine", "disk is full"}, // without
        {0, "disk", "full", true, "", "disk full", "DISK full"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " " + c.key1 + "/" + c.key2);
        CMessageRecorder messages;
        CSearchKeyText key;
        key.m_nHits = 5;
        CDlgTextKey dlg(key);
        ChooseMode(dlg, c.mode);
        Child<QLineEdit>(&dlg, "key1")->setText(c.key1);
        Child<QLineEdit>(&dlg, "key2")->setText(c.key2);
        Child<QCheckBox>(&dlg, "case")->setChecked(c.bCase);
        dlg.accept();
        EXPECT_EQ(messages.Last(), c.message);
        EXPECT_EQ(dlg.result() == QDialog::Accepted, !*c.message);
        if (*c.message) {
            EXPECT_EQ(key.m_strKey1, "") << "the key is written only when OK is taken";
            continue;
        }
        EXPECT_TRUE(key.Match(c.match));
        EXPECT_FALSE(key.Match(c.noMatch));
        EXPECT_EQ(key.m_nHits, 0) << "OK resets the key before filling it";
    }
}

TEST(TextKeyDialog, KeyOnlyEmptiesAndDisablesKey2)
{
    CSearchKeyText key;
    key.m_nMode = TextKeyMode::OR;
    key.m_strKey1 = "a";
    key.m_strKey2 = "b";
    CDlgTextKey dlg(key);
    auto* key2 = Child<QLineEdit>(&dlg, "key2");
    EXPECT_EQ(Child<QComboBox>(&dlg, "mode")->currentText(), "Either Key 1 or Key 2");
    EXPECT_TRUE(key2->isEnabled());
    key2->setText("typed by the user");
    ChooseMode(dlg, 0);
    EXPECT_TRUE(key2->text().isEmpty());
    EXPECT_FALSE(key2->isEnabled());
    ChooseMode(dlg, 3);
    EXPECT_TRUE(key2->isEnabled());

    CSearchKeyText onlyKey;
    CDlgTextKey onlyDlg(onlyKey);
    EXPECT_FALSE(Child<QLineEdit>(&onlyDlg, "key2")->isEnabled())
        << "a new key opens in Key 1 Only";
}

TEST(ExtendedComparisons, OkChecksAndReadsTheValuesOfEachKindOfField)
{
    struct Case {
        EventField field;
        DWORD op;
        const char* a;
        const char* b;
        const char* message;
        std::vector<DWORD> values;
    };
    const char* const ab = "Value A must be less than value B!";
    const Case cases[] = {
        {EventField::EVENTID, OP_BETWEEN, "200", "100", ab, {}},
        {EventField::EVENTID, OP_NOT_BETWEEN, "9", "3", ab, {}},
        {EventField::EVENTID, OP_BETWEEN, "100", "200", "", {100, 200}},
        {EventField::EVENTID, OP_EQUAL, "12abc", "", "", {12}},
        {EventField::EVENTID, OP_AT_MOST, "6005", "", "", {6005}},
        {EventField::EVENTID, OP_ONE_OF, "", "", "You must enter at least one value!", {}},
        {EventField::SOURCE, OP_EQUAL, "", "", "You must enter a value!", {}},
        {EventField::USER, OP_NOT_ONE_OF, "", "", "You must enter at least one value!", {}},
        {EventField::TEXT, OP_CONTAINS, "", "", "You must enter a value!", {}},
        {EventField::TYPE, OP_ONE_OF, "", "", "You must check at least one type!", {}},
        {EventField::SOURCE, OP_NONE, "", "", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(GetFieldLabel(c.field)) + " " + std::to_string(c.op) + " " + c.a +
                     " " + c.b);
        CMessageRecorder messages;
        CDlgExtendedComparisons dlg(c.field, {});
        SetOperator(dlg, c.op);
        Child<QLineEdit>(&dlg, "value1")->setText(c.a);
        Child<QLineEdit>(&dlg, "value2")->setText(c.b);
        dlg.accept();
        EXPECT_EQ(messages.Last(), c.message);
        EXPECT_EQ(dlg.result() == QDialog::Accepted, !*c.message);
        if (!*c.message) {
            EXPECT_EQ(dlg.GetCriterion().nOperator, c.op);
            EXPECT_EQ(dlg.GetCriterion().arrNumbers, c.values);
        }
    }

    // A regular expression must compile; a good one reaches the key.
    CMessageRecorder messages;
    CDlgExtendedComparisons dlg(EventField::TEXT, {});
    SetOperator(dlg, OP_REGEX);
    Child<QLineEdit>(&dlg, "value1")->setText("disk (C|D");
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

TEST(ExtendedComparisons, ControlsFollowTheOperator)
{
    CDlgExtendedComparisons dlg(EventField::CATEGORY, {});
    auto* value2 = Child<QLineEdit>(&dlg, "value2");
    auto* list = Child<QListWidget>(&dlg, "list");
    SetOperator(dlg, OP_BETWEEN);
    EXPECT_FALSE(value2->isHidden());
    EXPECT_TRUE(list->isHidden());
    SetOperator(dlg, OP_ONE_OF);
    EXPECT_TRUE(value2->isHidden());
    EXPECT_FALSE(list->isHidden());
    CDlgExtendedComparisons source(EventField::SOURCE, {});
    EXPECT_EQ(Child<QComboBox>(&source, "operator")->findText("Is between"), -1)
        << "ranges are for numbers";
}

TEST(ExtendedComparisons, ListValuesComeFromNewValueAndBecomeNumbers)
{
    CMessageRecorder messages;
    CDlgExtendedComparisons dlg(EventField::EVENTID, {});
    SetOperator(dlg, OP_NOT_ONE_OF);
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
    EXPECT_EQ(dlg.GetCriterion().nOperator, OP_NOT_ONE_OF);
    EXPECT_EQ(dlg.GetCriterion().arrNumbers, (std::vector<DWORD>{7, 11}));
}

TEST(ExtendedComparisons, EqualEventTypeKeepsOneCheckedType)
{
    CFieldCriterion start;
    start.nOperator = OP_ONE_OF;
    start.arrNumbers = {4, 1};
    CMessageRecorder messages;
    CDlgExtendedComparisons dlg(EventField::TYPE, start);
    auto* types = Child<QListWidget>(&dlg, "types");
    ASSERT_EQ(TypeItem(dlg, "Information")->checkState(), Qt::Checked);
    ASSERT_EQ(TypeItem(dlg, "Error/Stop")->checkState(), Qt::Checked);

    types->setCurrentItem(TypeItem(dlg, "Error/Stop"));
    SetOperator(dlg, OP_EQUAL);
    EXPECT_EQ(TypeItem(dlg, "Information")->checkState(), Qt::Unchecked);
    EXPECT_EQ(TypeItem(dlg, "Error/Stop")->checkState(), Qt::Checked);
    EXPECT_TRUE(messages.texts.empty());

    types->setCurrentItem(TypeItem(dlg, "Warnings"));
    TypeItem(dlg, "Warnings")->setCheckState(Qt::Checked);
    EXPECT_EQ(messages.Last(), "You can only select one type!");
    EXPECT_EQ(TypeItem(dlg, "Error/Stop")->checkState(), Qt::Unchecked);
    EXPECT_EQ(TypeItem(dlg, "Warnings")->checkState(), Qt::Checked);
    EXPECT_EQ(dlg.GetHelpLine(), "Event Type is equal to 'Warnings'");

    SetOperator(dlg, OP_NOT_ONE_OF);
    TypeItem(dlg, "Audit Failure")->setCheckState(Qt::Checked);
    EXPECT_EQ(messages.texts.size(), 1u) << "lists take several types";
    dlg.accept();
    EXPECT_EQ(dlg.GetCriterion().arrNumbers, (std::vector<DWORD>{2, 16}));
}

TEST(ExtendedComparisons, HelpLineDescribesTheCriterion)
{
    struct Case {
        EventField field;
        DWORD op;
        const char* a;
        const char* b;
        const char* help;
    };
    const Case cases[] = {
        {EventField::SOURCE, OP_NONE, "", "", "Source is ignored, it can be any value"},
        {EventField::EVENTID, OP_AT_LEAST, "5", "", "Event ID is greater than or equal to '5'."},
        {EventField::CATEGORY, OP_BETWEEN, "1", "3",
         "Category ID is between '1' and '3' inclusive."},
        {EventField::CATEGORY, OP_NOT_BETWEEN, "1", "3",
         "Category ID is either less than '1', or greater than '3'."},
        {EventField::TEXT, OP_CONTAINS, "bad block", "",
         "Event Text contains the value 'bad block'. The match is not case-sensitive."},
        {EventField::TYPE, OP_ONE_OF, "", "", "Event Type is one of the checked types in the list"},
    };
    for (const Case& c : cases) {
        CDlgExtendedComparisons dlg(c.field, {});
        SetOperator(dlg, c.op);
        Child<QLineEdit>(&dlg, "value1")->setText(c.a);
        Child<QLineEdit>(&dlg, "value2")->setText(c.b);
        EXPECT_EQ(dlg.GetHelpLine(), c.help);
        EXPECT_EQ(Child<QLabel>(&dlg, "help")->text(), c.help)
            << "the shown line follows the boxes";
    }
}

// Every criterion the comparisons dialog gives reaches the key through its
// setters and reads back unchanged; a code the field does not take clears it.
TEST(EventFields, CriteriaReachTheKeyAndReadBack)
{
    struct Case {
        EventField field;
        DWORD op;
        std::vector<DWORD> numbers;
        std::vector<std::string> strings;
        const char* description;
    };
    const Case cases[] = {
        {EventField::SOURCE, OP_NOT_EQUAL, {}, {"Disk"}, "Source is not equal to 'Disk'"},
        {EventField::USER, OP_ONE_OF, {}, {"bob", "eve"}, "User is one of {bob,eve}"},
        {EventField::CATEGORY, OP_AT_LEAST, {3}, {}, "Category ID is greater than or equal to 3"},
        {EventField::EVENTID, OP_NOT_BETWEEN, {10, 20}, {}, "Event ID is not between 10 and 20"},
        {EventField::TYPE, OP_EQUAL, {2}, {}, "Event Type is equal to 'Warning'"},
        {EventField::TYPE,
         OP_NOT_ONE_OF,
         {8, 16},
         {},
         "Event Type is not one of {'Audit Success','Audit Fail'}"},
    };
    for (const Case& c : cases) {
        CSearchKeyEvent key;
        key.SetText("other field");
        CFieldCriterion criterion;
        criterion.nOperator = c.op;
        criterion.arrNumbers = c.numbers;
        criterion.arrStrings = c.strings;
        ApplyFieldCriterion(key, c.field, criterion);
        const CFieldCriterion back = GetFieldCriterion(key, c.field);
        EXPECT_EQ(back.nOperator, c.op) << c.description;
        EXPECT_EQ(back.arrNumbers, c.numbers) << c.description;
        EXPECT_EQ(back.arrStrings, c.strings) << c.description;
        EXPECT_EQ(DescribeField(key, c.field), c.description);
        EXPECT_EQ(key.GetTextOperator(), DWORD{OP_CONTAINS}) << "other fields are left alone";

        ApplyFieldCriterion(key, c.field, {});
        EXPECT_EQ(GetFieldCriterion(key, c.field).nOperator, 0u)
            << "Ignore clears " << c.description;
        EXPECT_EQ(DescribeField(key, c.field), "");
    }
    CSearchKeyEvent key;
    key.SetSourceValue("Disk");
    ApplyFieldCriterion(key, EventField::SOURCE, {OP_BETWEEN, {}, {}, ""});
    EXPECT_EQ(key.GetSourceOperator(), 0u) << "a range is not a source criterion";
}

TEST(EventKeyDialog, KeyMadeFieldByFieldMatchesTheEvent)
{
    CMessageRecorder messages;
    CSearchKeyEvent key;
    CDlgEventKey dlg(key);
    dlg.accept();
    EXPECT_EQ(messages.Last(), "You must select something to search for!");
    EXPECT_NE(dlg.result(), QDialog::Accepted);

    OnNextDialog<CDlgExtendedComparisons>([](CDlgExtendedComparisons* d) {
        SetOperator(*d, OP_EQUAL);
        Child<QLineEdit>(d, "value1")->setText("Disk");
        d->accept();
    });
    Child<QToolButton>(&dlg, "edit1")->click(); // Source
    OnNextDialog<CDlgExtendedComparisons>([](CDlgExtendedComparisons* d) {
        SetOperator(*d, OP_BETWEEN);
        Child<QLineEdit>(d, "value1")->setText("5");
        Child<QLineEdit>(d, "value2")->setText("9");
        d->accept();
    });
    Child<QToolButton>(&dlg, "edit3")->click(); // Event ID
    EXPECT_EQ(key.m_dwOperators, 0u) << "the key changes only on OK";
    EXPECT_EQ(Child<QLineEdit>(&dlg, "field1")->text().toStdString(), "Source is equal to 'Disk'");
    EXPECT_TRUE(Child<QLineEdit>(&dlg, "field0")->text().isEmpty())
        << "an ignored field shows nothing";

    dlg.show();
    SaveScreenshot(&dlg, "event-key-dialog");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(key.Match(MakeEvent("Disk", 7), "text"));
    EXPECT_TRUE(key.Match(MakeEvent("Disk", 0x80000009), "text")) << "the low 16 bits are compared";
    EXPECT_FALSE(key.Match(MakeEvent("Disk", 10), "text"));
    EXPECT_FALSE(key.Match(MakeEvent("Cdrom", 7), "text"));

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
