#include "ui/dialogs/extendedcomparisons.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <span>

#include "match/searchkeyevent.h"
#include "match/searchkeyregex.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/okcancel.h"

namespace {

struct OperatorEntry {
    const char* text;
    DWORD code;
};
constexpr OperatorEntry STRING_OPERATORS[] = {{"Ignore", OP_NONE},
                                              {"Is equal to", OP_EQUAL},
                                              {"Is NOT equal to", OP_NOT_EQUAL},
                                              {"Is one of", OP_ONE_OF},
                                              {"Is NOT one of", OP_NOT_ONE_OF}};
constexpr OperatorEntry NUMBER_OPERATORS[] = {{"Ignore", OP_NONE},
                                              {"Is equal to", OP_EQUAL},
                                              {"Is NOT equal to", OP_NOT_EQUAL},
                                              {"Is one of", OP_ONE_OF},
                                              {"Is NOT one of", OP_NOT_ONE_OF},
                                              {"Is greater than ", OP_AT_LEAST},
                                              {"Is less than", OP_AT_MOST},
                                              {"Is between", OP_BETWEEN},
                                              {"Is NOT between", OP_NOT_BETWEEN}};
constexpr OperatorEntry TEXT_OPERATORS[] = {
    {"Ignore", OP_NONE}, {"Contains", OP_CONTAINS}, {"Matches regular expression", OP_REGEX}};

struct TypeEntry {
    const char* text;
    DWORD type;
};
constexpr TypeEntry TYPES[] = {{"Information", 4},
                               {"Warnings", 2},
                               {"Error/Stop", 1},
                               {"Audit Success", 8},
                               {"Audit Failure", 16}};

// Replaces each "%s" of the pattern in turn by the next argument.
QString Fill(const char* pattern, std::initializer_list<QString> args)
{
    QString out = pattern;
    for (const QString& arg : args) {
        const qsizetype at = out.indexOf("%s");
        if (at < 0)
            break;
        out.replace(at, 2, arg);
    }
    return out;
}

// A number box read as a signed decimal: leading digits count, anything
// else (an empty box included) reads as 0.
long ReadNumber(const QString& text)
{
    return std::strtol(FromQt(text).c_str(), nullptr, 10);
}

bool IsOneValue(DWORD op)
{
    return op >= OP_EQUAL && op <= OP_AT_MOST;
}
bool IsRange(DWORD op)
{
    return op == OP_BETWEEN || op == OP_NOT_BETWEEN;
}
bool IsList(DWORD op)
{
    return op == OP_ONE_OF || op == OP_NOT_ONE_OF;
}

} // namespace

bool AskNewValue(QWidget* parent, QString& text)
{
    QInputDialog dlg(parent);
    dlg.setWindowTitle("New Value");
    dlg.setLabelText("Enter a new value:");
    dlg.setTextValue(text);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    text = dlg.textValue();
    return true;
}

CDlgExtendedComparisons::CDlgExtendedComparisons(EventField field, const CFieldCriterion& criterion,
                                                 QWidget* parent)
    : QDialog(parent), m_field(field), m_result(criterion), m_pOperator(new QComboBox(this)),
      m_pValue1(new QLineEdit(this)), m_pAnd(new QLabel("and", this)),
      m_pValue2(new QLineEdit(this)), m_pList(new QListWidget(this)),
      m_pAdd(new QPushButton("Add", this)), m_pDelete(new QPushButton("Delete", this)),
      m_pEdit(new QPushButton("Edit", this)), m_pTypes(new QListWidget(this)),
      m_pHelp(new QLabel(this))
{
    setWindowTitle("Extended Comparisons");
    m_pOperator->setObjectName("operator");
    m_pValue1->setObjectName("value1");
    m_pValue2->setObjectName("value2");
    m_pList->setObjectName("list");
    m_pTypes->setObjectName("types");
    m_pHelp->setObjectName("help");
    m_pHelp->setWordWrap(true);

    std::span<const OperatorEntry> entries = STRING_OPERATORS;
    if (IsNumberField(field))
        entries = NUMBER_OPERATORS;
    else if (field == EventField::TEXT)
        entries = TEXT_OPERATORS;
    for (const OperatorEntry& e : entries) {
        m_pOperator->addItem(e.text, static_cast<uint>(e.code));
        if (e.code == criterion.nOperator)
            m_pOperator->setCurrentIndex(m_pOperator->count() - 1);
    }

    // Values of the current criterion.
    const DWORD op = criterion.nOperator;
    if (field == EventField::TEXT) {
        m_pValue1->setText(ToQt(criterion.strText));
    } else if (IsStringField(field)) {
        if (IsList(op))
            for (const std::string& s : criterion.arrStrings)
                m_pList->addItem(ToQt(s));
        else if (!criterion.arrStrings.empty())
            m_pValue1->setText(ToQt(criterion.arrStrings.front()));
    } else if (IsNumberField(field)) {
        const auto& v = criterion.arrNumbers;
        if (IsList(op))
            for (DWORD n : v)
                m_pList->addItem(QString::number(static_cast<int>(n)));
        else {
            if (!v.empty())
                m_pValue1->setText(QString::number(static_cast<int>(v[0])));
            if (IsRange(op) && v.size() > 1)
                m_pValue2->setText(QString::number(static_cast<int>(v[1])));
        }
    }
    for (const TypeEntry& t : TYPES) {
        auto* item = new QListWidgetItem(t.text, m_pTypes);
        item->setData(Qt::UserRole, static_cast<uint>(t.type));
        const bool bChecked = field == EventField::TYPE && op != OP_NONE &&
                              std::find(criterion.arrNumbers.begin(), criterion.arrNumbers.end(),
                                        t.type) != criterion.arrNumbers.end();
        item->setCheckState(bChecked ? Qt::Checked : Qt::Unchecked);
        if (bChecked && !m_pTypes->currentItem())
            m_pTypes->setCurrentItem(item);
    }

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(GetFieldLabel(field), this), 0, 0);
    grid->addWidget(m_pOperator, 0, 1, 1, 3);
    grid->addWidget(m_pValue1, 1, 1);
    grid->addWidget(m_pAnd, 1, 2);
    grid->addWidget(m_pValue2, 1, 3);
    grid->addWidget(m_pList, 2, 1, 1, 2);
    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(m_pAdd);
    listButtons->addWidget(m_pDelete);
    listButtons->addWidget(m_pEdit);
    listButtons->addStretch();
    grid->addLayout(listButtons, 2, 3);
    grid->addWidget(m_pTypes, 3, 1, 1, 3);
    grid->addWidget(m_pHelp, 4, 0, 1, 4);
    auto* buttons = MakeOkCancel(this);
    grid->addWidget(buttons, 5, 0, 1, 4);

    connect(m_pOperator, &QComboBox::currentIndexChanged, this,
            &CDlgExtendedComparisons::OnOperatorChanged);
    connect(m_pValue1, &QLineEdit::textChanged, this, &CDlgExtendedComparisons::UpdateControls);
    connect(m_pValue2, &QLineEdit::textChanged, this, &CDlgExtendedComparisons::UpdateControls);
    connect(m_pList, &QListWidget::itemSelectionChanged, this,
            &CDlgExtendedComparisons::UpdateControls);
    connect(m_pTypes, &QListWidget::itemChanged, this, &CDlgExtendedComparisons::OnTypeChanged);
    connect(m_pAdd, &QPushButton::clicked, this, &CDlgExtendedComparisons::AddValue);
    connect(m_pEdit, &QPushButton::clicked, this, &CDlgExtendedComparisons::EditValue);
    connect(m_pDelete, &QPushButton::clicked, this, &CDlgExtendedComparisons::DeleteValue);
    connect(m_pList, &QListWidget::itemDoubleClicked, this, &CDlgExtendedComparisons::EditValue);
    UpdateControls();
}

DWORD CDlgExtendedComparisons::GetOperator() const
{
    return m_pOperator->currentData().toUInt();
}

void CDlgExtendedComparisons::OnOperatorChanged()
{
    const DWORD op = GetOperator();
    if (m_field == EventField::TYPE && (op == OP_EQUAL || op == OP_NOT_EQUAL))
        KeepOnlySelectedType();
    UpdateControls();
}

void CDlgExtendedComparisons::KeepOnlySelectedType()
{
    m_bChecking = true;
    for (int i = 0; i < m_pTypes->count(); ++i) {
        QListWidgetItem* item = m_pTypes->item(i);
        if (item != m_pTypes->currentItem())
            item->setCheckState(Qt::Unchecked);
    }
    m_bChecking = false;
}

void CDlgExtendedComparisons::OnTypeChanged(QListWidgetItem* item)
{
    if (m_bChecking)
        return;
    const DWORD op = GetOperator();
    if (item->checkState() == Qt::Checked && (op == OP_EQUAL || op == OP_NOT_EQUAL)) {
        int nChecked = 0;
        for (int i = 0; i < m_pTypes->count(); ++i)
            nChecked += m_pTypes->item(i)->checkState() == Qt::Checked;
        if (nChecked > 1) {
            ShowMessageBox(this, "You can only select one type!", MB_OK);
            if (!m_pTypes->currentItem())
                m_pTypes->setCurrentItem(item);
            KeepOnlySelectedType();
        }
    }
    UpdateControls();
}

void CDlgExtendedComparisons::UpdateControls()
{
    const DWORD op = GetOperator();
    const bool bType = m_field == EventField::TYPE;
    m_pValue1->setVisible(!bType && (IsOneValue(op) || IsRange(op)));
    m_pAnd->setVisible(!bType && IsRange(op));
    m_pValue2->setVisible(!bType && IsRange(op));
    for (QWidget* w : {static_cast<QWidget*>(m_pList), static_cast<QWidget*>(m_pAdd),
                       static_cast<QWidget*>(m_pDelete), static_cast<QWidget*>(m_pEdit)})
        w->setVisible(!bType && IsList(op));
    m_pTypes->setVisible(bType);
    const bool bItem = m_pList->currentItem() && m_pList->currentItem()->isSelected();
    m_pDelete->setEnabled(bItem);
    m_pEdit->setEnabled(bItem);
    m_pHelp->setText(GetHelpLine());
}

QString CDlgExtendedComparisons::GetHelpLine() const
{
    const QString label = GetFieldLabel(m_field);
    const DWORD op = GetOperator();
    const QString a = m_pValue1->text();
    const QString b = m_pValue2->text();
    if (op == OP_NONE)
        return Fill("%s is ignored, it can be any value", {label});
    if (m_field == EventField::TEXT && op == OP_REGEX) {
        const std::string error = CSearchKeyRegex::CheckPattern(FromQt(a), false);
        return Fill("%s matches the regular expression '%s' (RE2, not case-sensitive unless it "
                    "starts with (?-i); no back-references or look-around).",
                    {label, a}) +
               (a.isEmpty() || error.empty() ? QString() : " Error: " + ToQt(error));
    }
    if (m_field == EventField::TEXT)
        return Fill(EVENT_TEXT_HELP_LINE, {label, a});
    if (m_field == EventField::TYPE) {
        QString selected;
        for (int i = 0; i < m_pTypes->count(); ++i)
            if (m_pTypes->item(i)->checkState() == Qt::Checked) {
                selected = m_pTypes->item(i)->text();
                break;
            }
        switch (op) {
        case OP_EQUAL:
            return Fill("%s is equal to '%s'", {label, selected});
        case OP_NOT_EQUAL:
            return Fill("%s is not equal to '%s'", {label, selected});
        case OP_ONE_OF:
            return Fill("%s is one of the checked types in the list", {label});
        default:
            return Fill("%s is not equal to any of the checked types in the list", {label});
        }
    }
    switch (op) {
    case OP_EQUAL:
        return Fill("%s is exactly equal to '%s'.", {label, a});
    case OP_NOT_EQUAL:
        return Fill("%s is any value other than '%s'.", {label, a});
    case OP_AT_LEAST:
        return Fill("%s is greater than or equal to '%s'.", {label, a});
    case OP_AT_MOST:
        return Fill("%s is less than or equal to '%s'.", {label, a});
    case OP_BETWEEN:
        return Fill("%s is between '%s' and '%s' inclusive.", {label, a, b});
    case OP_NOT_BETWEEN:
        return Fill("%s is either less than '%s', or greater than '%s'.", {label, a, b});
    case OP_ONE_OF:
        return Fill("%s is equal to one of the items in the list.", {label});
    default:
        return Fill("%s is not equal to any of the items in the list.", {label});
    }
}

void CDlgExtendedComparisons::AddValue()
{
    QString text;
    if (AskNewValue(this, text))
        m_pList->addItem(text);
    UpdateControls();
}

void CDlgExtendedComparisons::EditValue()
{
    QListWidgetItem* item = m_pList->currentItem();
    if (!item)
        return;
    QString text = item->text();
    if (AskNewValue(this, text))
        item->setText(text);
}

void CDlgExtendedComparisons::DeleteValue()
{
    delete m_pList->currentItem();
    UpdateControls();
}

void CDlgExtendedComparisons::accept()
{
    CFieldCriterion c;
    c.nOperator = GetOperator();
    QStringList items;
    for (int i = 0; i < m_pList->count(); ++i)
        items << m_pList->item(i)->text();
    auto refuse = [this](const char* text) {
        ShowMessageBox(this, text, MB_OK | MB_ICONEXCLAMATION);
    };

    if (c.nOperator != OP_NONE) {
        if (m_field == EventField::TEXT) {
            if (m_pValue1->text().isEmpty())
                return refuse("You must enter a value!");
            c.strText = FromQt(m_pValue1->text());
            if (c.nOperator == OP_REGEX) {
                if (const std::string error = CSearchKeyRegex::CheckPattern(c.strText, false);
                    !error.empty()) {
                    ShowMessageBox(this, "The value is not a valid regular expression: " + error,
                                   MB_OK | MB_ICONEXCLAMATION);
                    return;
                }
            }
        } else if (m_field == EventField::TYPE) {
            for (int i = 0; i < m_pTypes->count(); ++i)
                if (m_pTypes->item(i)->checkState() == Qt::Checked)
                    c.arrNumbers.push_back(m_pTypes->item(i)->data(Qt::UserRole).toUInt());
            if (c.arrNumbers.empty())
                return refuse("You must check at least one type!");
        } else if (IsList(c.nOperator)) {
            if (items.isEmpty())
                return refuse("You must enter at least one value!");
            for (const QString& s : items) {
                if (IsNumberField(m_field))
                    c.arrNumbers.push_back(static_cast<DWORD>(ReadNumber(s)));
                else
                    c.arrStrings.push_back(FromQt(s));
            }
        } else if (IsStringField(m_field)) {
            if (m_pValue1->text().isEmpty())
                return refuse("You must enter a value!");
            c.arrStrings.push_back(FromQt(m_pValue1->text()));
        } else if (IsRange(c.nOperator)) {
            const long a = ReadNumber(m_pValue1->text());
            const long b = ReadNumber(m_pValue2->text());
            if (a >= b)
                return refuse("Value A must be less than value B!");
            c.arrNumbers = {static_cast<DWORD>(a), static_cast<DWORD>(b)};
        } else {
            c.arrNumbers.push_back(static_cast<DWORD>(ReadNumber(m_pValue1->text())));
        }
    }
    m_result = std::move(c);
    QDialog::accept();
}
