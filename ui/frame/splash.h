#pragma once
// The splash window shown while the main window comes up: a borderless
// picture centred on the screen that closes itself after three seconds or at
// the first key press or mouse button press anywhere in the program, which
// it swallows. It deletes itself when closed.
//
// Threads: user interface thread only.
#include <QTimer>
#include <QWidget>

class CSplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit CSplashWindow(QWidget* parent = nullptr);
    ~CSplashWindow() override;

signals:
    void Closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QTimer m_timer;
};
