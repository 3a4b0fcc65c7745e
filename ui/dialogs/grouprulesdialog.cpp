#include "ui/dialogs/grouprulesdialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/grouprules.h"
#include "ui/common/messagebox.h"
#include "ui/common/qtstrings.h"
#include "ui/dialogs/okcancel.h"

namespace {

constexpr const char* DAY_NAMES[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

QSpinBox* MakeSpin(QWidget* parent, const char* name, int nMax, int nValue)
{
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(1, nMax);
    spin->setValue(std::max(1, nValue));
    return spin;
}

} // namespace

CDlgGroupRules::CDlgGroupRules(CGroupRules& rules, QWidget* parent)
    : QDialog(parent), m_rules(rules),
      m_pThreshold(new QCheckBox("Run the task only when the keys matched", this)),
      m_pCount(MakeSpin(this, "count", 1'000'000, rules.m_threshold.nCount)),
      m_pSeconds(MakeSpin(this, "seconds", 100'000'000, rules.m_threshold.nSeconds)),
      m_pPer(new QLineEdit(this)),
      m_pSilence(new QCheckBox("Expect a match; run the task when none comes", this)),
      m_pEvery(new QRadioButton("At least one every", this)),
      m_pMinutes(MakeSpin(this, "minutes", 10'000'000, rules.m_silence.nMinutes)),
      m_pBy(new QRadioButton("One each day by (HH:MM)", this)), m_pTime(new QLineEdit(this))
{
    setWindowTitle("Thresholds and Silence");
    m_pThreshold->setObjectName("threshold");
    m_pPer->setObjectName("per");
    m_pSilence->setObjectName("silence");
    m_pEvery->setObjectName("every");
    m_pBy->setObjectName("by");
    m_pTime->setObjectName("time");
    m_pThreshold->setChecked(rules.m_threshold.bEnabled);
    m_pPer->setText(ToQt(rules.m_threshold.strPer));
    m_pPer->setPlaceholderText("%MATCH:ip% or %EVENT_USER%; empty: all matches together");
    m_pSilence->setChecked(rules.m_silence.bEnabled);
    m_pTime->setText(ToQt(rules.m_silence.strBy.empty() ? "06:00" : rules.m_silence.strBy));
    (rules.m_silence.strBy.empty() ? m_pEvery : m_pBy)->setChecked(true);

    auto* threshold = new QGroupBox("Threshold", this);
    auto* thresholdForm = new QFormLayout(threshold);
    thresholdForm->addRow(m_pThreshold);
    thresholdForm->addRow("Times:", m_pCount);
    thresholdForm->addRow("Within seconds:", m_pSeconds);
    thresholdForm->addRow("Counted per value of:", m_pPer);

    auto* silence = new QGroupBox("Silence", this);
    auto* silenceForm = new QFormLayout(silence);
    silenceForm->addRow(m_pSilence);
    auto* every = new QHBoxLayout;
    every->addWidget(m_pEvery);
    every->addWidget(m_pMinutes);
    every->addWidget(new QLabel("minutes", this));
    silenceForm->addRow(every);
    auto* by = new QHBoxLayout;
    by->addWidget(m_pBy);
    by->addWidget(m_pTime);
    silenceForm->addRow(by);
    auto* days = new QHBoxLayout;
    for (int d = 0; d < 7; ++d) {
        m_pDays[d] = new QCheckBox(DAY_NAMES[d], this);
        m_pDays[d]->setObjectName(QString("day%1").arg(d));
        const auto& list = rules.m_silence.weekdays;
        m_pDays[d]->setChecked(std::find(list.begin(), list.end(), d) != list.end());
        days->addWidget(m_pDays[d]);
    }
    silenceForm->addRow("On (none: every day):", days);
    silenceForm->addRow(new QLabel("The task gets %SILENCE_SINCE%; the next match re-arms the "
                                   "rule. A threshold's task gets %THRESHOLD_COUNT%, "
                                   "%THRESHOLD_FIRST% and %THRESHOLD_LAST%.",
                                   this));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(threshold);
    layout->addWidget(silence);
    layout->addWidget(MakeOkCancel(this));
    for (QCheckBox* box : {m_pThreshold, m_pSilence})
        connect(box, &QCheckBox::toggled, this, &CDlgGroupRules::UpdateStates);
    connect(m_pEvery, &QRadioButton::toggled, this, &CDlgGroupRules::UpdateStates);
    UpdateStates();
}

void CDlgGroupRules::UpdateStates()
{
    const bool bThreshold = m_pThreshold->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(m_pCount), static_cast<QWidget*>(m_pSeconds),
                       static_cast<QWidget*>(m_pPer)})
        w->setEnabled(bThreshold);
    const bool bSilence = m_pSilence->isChecked();
    m_pEvery->setEnabled(bSilence);
    m_pBy->setEnabled(bSilence);
    m_pMinutes->setEnabled(bSilence && m_pEvery->isChecked());
    m_pTime->setEnabled(bSilence && m_pBy->isChecked());
    for (QCheckBox* day : m_pDays)
        day->setEnabled(bSilence && m_pBy->isChecked());
}

void CDlgGroupRules::accept()
{
    CThresholdRule threshold{m_pThreshold->isChecked(), m_pCount->value(), m_pSeconds->value(),
                             FromQt(m_pPer->text().trimmed())};
    CSilenceRule silence{m_pSilence->isChecked(), m_pMinutes->value(), {}, {}};
    if (m_pBy->isChecked()) {
        silence.strBy = FromQt(m_pTime->text().trimmed());
        for (int d = 0; d < 7; ++d)
            if (m_pDays[d]->isChecked())
                silence.weekdays.push_back(d);
    }
    CGroupRules trial;
    trial.m_threshold = threshold;
    trial.m_silence = silence;
    if (const std::string why = trial.Validate(); !why.empty()) {
        ShowMessageBox(this, why, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_rules.m_threshold = threshold;
    m_rules.m_silence = silence;
    QDialog::accept();
}
