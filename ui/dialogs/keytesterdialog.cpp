#include "ui/dialogs/keytesterdialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/monitoredobject.h"
#include "platform/base/fileio.h"
#include "tasks/keytester.h"
#include "ui/common/qtstrings.h"

namespace {

// Keeps the sample small enough to test while typing.
constexpr std::size_t MAX_SAMPLE_BYTES = 4 << 20;

} // namespace

CDlgKeyTester::CDlgKeyTester(const CMonitoredObject& log, const std::string& strGroup,
                             QWidget* parent)
    : QDialog(parent), m_strGroup(strGroup), m_pSample(new QPlainTextEdit(this)),
      m_pResults(new QTreeWidget(this))
{
    // A copy of the log (with copies of its groups): edits of the workspace
    // meanwhile do not reach into this window.
    try {
        m_pLog = CMonitoredObject::FromGlobalMemory(log.CopyToGlobalMemory());
    } catch (const CException&) {
        m_pLog.reset();
    }
    setWindowTitle("Test Keys - " + ToQt(strGroup.empty() ? log.GetDisplayName() : strGroup));
    setAttribute(Qt::WA_DeleteOnClose);
    m_pSample->setObjectName("sample");
    m_pSample->setPlaceholderText("Paste sample log lines here, or load a file.");
    m_pSample->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pResults->setObjectName("results");
    m_pResults->setHeaderLabels({"Line", "Group", "Keys", "Details"});
    m_pResults->header()->setStretchLastSection(true);

    auto* load = new QPushButton("Load File...", this);
    load->setObjectName("load");
    connect(load, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, "Load Sample Lines");
        if (!path.isEmpty())
            LoadFile(path);
    });
    auto* close = new QPushButton("Close", this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(load);
    buttons->addStretch();
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Sample lines (nothing runs; hits are highlighted):", this));
    layout->addWidget(m_pSample, 2);
    layout->addWidget(m_pResults, 3);
    layout->addLayout(buttons);
    connect(m_pSample, &QPlainTextEdit::textChanged, this, &CDlgKeyTester::Update);
    resize(720, 520);
    Update();
}

CDlgKeyTester::~CDlgKeyTester() = default;

void CDlgKeyTester::LoadFile(const QString& path)
{
    std::string bytes = ReadFileBytes(FromQt(path)).value_or("");
    if (bytes.size() > MAX_SAMPLE_BYTES)
        bytes.resize(MAX_SAMPLE_BYTES);
    m_pSample->setPlainText(ToQt(bytes));
}

void CDlgKeyTester::Update()
{
    m_pResults->clear();
    if (!m_pLog)
        return;
    CKeyTester tester(*m_pLog, m_strGroup);
    QList<QTextEdit::ExtraSelection> highlights;
    QTextCharFormat hit;
    hit.setBackground(QColor(255, 230, 120));
    int nLine = 0;
    for (QTextBlock block = m_pSample->document()->begin(); block.isValid(); block = block.next()) {
        ++nLine;
        const std::string line = FromQt(block.text());
        const std::vector<CKeyTestGroupResult> results = tester.TestLine(line);
        for (const CKeyTestGroupResult& r : results) {
            QStringList keys;
            for (int k : r.keys)
                keys << QString::number(k + 1);
            auto* item = new QTreeWidgetItem(m_pResults);
            item->setText(0, QString::number(nLine));
            item->setText(1, ToQt(r.strGroup));
            item->setText(2, keys.join(", "));
            QStringList details;
            for (const auto& [name, value] : r.captures)
                details << ToQt(name + " = " + value);
            if (!r.strRule.empty())
                details << ToQt(r.strRule);
            details << ToQt("task \"" + r.strTask + "\"" +
                            (r.bTaskRuns ? " would run" : " would not run"));
            item->setText(3, details.join("; "));
            for (const std::string& action : r.actions)
                new QTreeWidgetItem(item, {QString(), QString(), QString(), ToQt(action)});
        }
        // The spans of every key of every tested group.
        for (std::size_t g = 0; g < tester.GetGroupCount(); ++g) {
            const CKeysAndActions& group = tester.GetGroup(g);
            for (int k = 0; k < group.GetKeyCount(); ++k) {
                for (const auto& [offset, length] : CKeyTester::FindSpans(*group.GetKey(k), line)) {
                    QTextEdit::ExtraSelection selection;
                    selection.format = hit;
                    selection.cursor = QTextCursor(block);
                    const int start = ToQt(line.substr(0, offset)).size();
                    const int size = ToQt(line.substr(offset, length)).size();
                    selection.cursor.setPosition(block.position() + start);
                    selection.cursor.setPosition(block.position() + start + size,
                                                 QTextCursor::KeepAnchor);
                    highlights << selection;
                }
            }
        }
    }
    m_pResults->expandAll();
    m_pSample->setExtraSelections(highlights);
}
