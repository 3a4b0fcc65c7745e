#pragma once
// The text viewer's modeless "Find" dialog. Every change of the text or of
// the two boxes is copied to the view at once; "Find Ne&xt" runs the view's
// Find next; "Clo&se" closes the dialog, which then deletes itself and tells
// the view that it has none.
//
// Threads: user interface thread only. Owned by Qt (it deletes itself on
// close); the view that opened it must outlive it or close it first.
#include <QDialog>

class CLogCacheView;
class QCheckBox;
class QLineEdit;

class CFindDialog : public QDialog {
    Q_OBJECT
public:
    // Prefilled with the text and the view's match case and whole word flags.
    CFindDialog(CLogCacheView& view, const QString& text);
    ~CFindDialog() override;

    QString GetText() const;
    QLineEdit* GetEdit() const { return m_pText; }
    QCheckBox* GetMatchCase() const { return m_pMatchCase; }
    QCheckBox* GetWholeWord() const { return m_pWholeWord; }

private:
    void CopyToView();

    CLogCacheView& m_view;
    QLineEdit* m_pText;
    QCheckBox* m_pMatchCase;
    QCheckBox* m_pWholeWord;
};
