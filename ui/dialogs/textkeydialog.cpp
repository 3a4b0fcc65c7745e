#include "ui/dialogs/textkeydialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

#include "match/searchkeytext.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/okcancel.h"

namespace {

// The drop-down's entries in order, with the mode each stands for.
struct ModeEntry {
    const char* text;
    TextKeyMode mode;
};
constexpr ModeEntry MODES[] = {
    {"Key 1 Only", TextKeyMode::ONLY},
    {"Either Key 1 or Key 2", TextKeyMode::OR},
    {"Both Key 1 and Key 2", TextKeyMode::AND},
    {"Key 1 without Key 2", TextKeyMode::AND_NOT},
};

} // namespace

CDlgTextKey::CDlgTextKey(CSearchKeyText& key, QWidget* parent)
    : QDialog(parent), m_key(key), m_pMode(new QComboBox(this)), m_pKey1(new QLineEdit(this)),
      m_pKey2(new QLineEdit(this)), m_pCase(new QCheckBox("Case Sensitive", this))
{
    setWindowTitle("Text File Key Properties");
    m_pMode->setObjectName("mode");
    m_pKey1->setObjectName("key1");
    m_pKey2->setObjectName("key2");
    m_pCase->setObjectName("case");

    int nSelected = 0;
    for (int i = 0; i < 4; ++i) {
        m_pMode->addItem(MODES[i].text);
        if (MODES[i].mode == key.m_nMode)
            nSelected = i;
    }
    m_pMode->setCurrentIndex(nSelected);
    m_pKey1->setText(ToQt(key.m_strKey1));
    m_pKey2->setText(ToQt(key.m_strKey2));
    m_pKey2->setEnabled(nSelected != 0);
    m_pCase->setChecked(key.m_bCaseSensitive);
    connect(m_pMode, &QComboBox::activated, this, &CDlgTextKey::OnModeChanged);

    auto* form = new QFormLayout(this);
    form->addRow("Find:", m_pMode);
    form->addRow("Key 1:", m_pKey1);
    form->addRow("Key 2:", m_pKey2);
    form->addRow(m_pCase);
    auto* buttons = MakeOkCancel(this);
    form->addRow(buttons);
}

void CDlgTextKey::OnModeChanged(int index)
{
    if (index == 0)
        m_pKey2->clear();
    m_pKey2->setEnabled(index != 0);
}

void CDlgTextKey::accept()
{
    const int index = std::max(0, m_pMode->currentIndex());
    if (m_pKey1->text().isEmpty()) {
        ShowMessageBox(this,
                       "You must enter a value for Key 1 if you wish to include it in the search!",
                       MB_OK);
        return;
    }
    if (index != 0 && m_pKey2->text().isEmpty()) {
        ShowMessageBox(this,
                       "You must enter a value for Key 2 if you wish to include it in the search!",
                       MB_OK);
        return;
    }
    m_key.Reset();
    m_key.m_bCaseSensitive = m_pCase->isChecked();
    m_key.m_strKey1 = FromQt(m_pKey1->text());
    m_key.m_nMode = MODES[index].mode;
    m_key.m_strKey2 = FromQt(m_pKey2->text());
    QDialog::accept();
}
