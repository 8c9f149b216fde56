#pragma once

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

class QLabel;
class QAction;
class QMenu;

namespace tavsms {

class Application;
class Prompter;

// MDIForm1: the program's frame. Menus, toolbar and status bar present the
// Application (which runs the same with no window); screens open inside the
// MDI area beside it and never block it.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(Application &app, QWidget *parent = nullptr);
    ~MainWindow() override;

    Application &app() { return m_app; }

    // Opens the screen of type Screen inside the frame, or brings it to the
    // front when it is open already. Nothing opens before the database is.
    template<typename Screen, typename Make>
    Screen *openScreen(Make make)
    {
        if (!storeIsOpen())
            return nullptr;
        for (QMdiSubWindow *sub : m_mdi->subWindowList()) {
            if (auto *open = qobject_cast<Screen *>(sub->widget())) {
                m_mdi->setActiveSubWindow(sub);
                sub->showNormal();
                return open;
            }
        }
        Screen *screen = make();
        showScreen(screen);
        return screen;
    }

    QLabel *queuePanel() const { return m_queuePanel; }
    QLabel *connectedPanel() const { return m_connectedPanel; }
    QLabel *tipPanel() const { return m_tipPanel; }
    // Shown while message sending is stopped.
    QLabel *stoppedIndicator() const { return m_stoppedIndicator; }
    // Shown while debug.txt takes no lines.
    QLabel *debugLogIndicator() const { return m_debugLogIndicator; }

    // The port health window, as a click on "Connected: N" opens it.
    void openPortHealth();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    QAction *addItem(QMenu *menu, const QString &caption, const QString &name);
    // The menu item opens the screen that `make` builds (see openScreen).
    template<typename Screen, typename Make>
    void opens(QAction *item, Make make)
    {
        connect(item, &QAction::triggered, this, [this, make] { openScreen<Screen>(make); });
    }
    void centreOnScreen();
    bool storeIsOpen() const;
    void showScreen(QWidget *screen);
    void showTip(const QString &title, const QString &text, int seconds);
    void openConnectionSettings();
    void resetSettings();

    Application &m_app;
    Prompter &m_prompter;
    QMdiArea *m_mdi;
    QLabel *m_queuePanel = nullptr;
    QLabel *m_connectedPanel = nullptr;
    QLabel *m_tipPanel = nullptr;
    QLabel *m_stoppedIndicator = nullptr;
    QLabel *m_debugLogIndicator = nullptr;
    QLabel *m_storePanel = nullptr;
    QAction *m_stopAction = nullptr;
    QAction *m_startAction = nullptr;
    QAction *m_reinitAction = nullptr;
};

} // namespace tavsms
