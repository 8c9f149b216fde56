#pragma once

#include <QCoroTask>
#include <QMainWindow>

#include <memory>

class QLabel;
class QMdiArea;
class QAction;

namespace tavsms {

class AutoReply;
class HttpPushClient;
class InternetServices;
class MainController;
class ModemChannel;
class Prompter;

// MDIForm1: the program's frame. Menus, toolbar and status bar present what
// the MainController does; screens open inside the MDI area beside it.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(Prompter &prompter, QWidget *parent = nullptr);
    ~MainWindow() override;

    MainController &controller() { return *m_controller; }
    ModemChannel &modem() { return *m_modem; }
    InternetServices &internet() { return *m_internet; }

    // Shows a screen inside the frame without blocking it; a screen already
    // open is brought to the front instead of opened twice.
    void showScreen(QWidget *screen);

    QLabel *queuePanel() const { return m_queuePanel; }
    QLabel *connectedPanel() const { return m_connectedPanel; }
    QLabel *tipPanel() const { return m_tipPanel; }

Q_SIGNALS:
    // Start-up failed after the window was shown; the program must end.
    void fatalError();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    QAction *addItem(class QMenu *menu, const QString &caption, const QString &name);
    void notYetAvailable(const QString &caption);
    void centreOnScreen();
    void onFatalError();
    void openConnectionSettings();
    void resetSettings();
    QCoro::Task<void> applyAutoReply(QString port, QString sender, QString text);

    Prompter &m_prompter;
    MainController *m_controller;
    QMdiArea *m_mdi;
    // Destroyed before the controller (a child), whose state its ports use.
    std::unique_ptr<ModemChannel> m_modem;
    // Declared after the controller's pointer and destroyed before the
    // controller (a child): it uses the controller's store and timers.
    std::unique_ptr<InternetServices> m_internet;
    // The rules for incoming messages, made once the database is open.
    std::unique_ptr<HttpPushClient> m_push;
    std::unique_ptr<AutoReply> m_autoReply;
    QLabel *m_queuePanel = nullptr;
    QLabel *m_connectedPanel = nullptr;
    QLabel *m_tipPanel = nullptr;
    QAction *m_stopAction = nullptr;
    QAction *m_startAction = nullptr;
    QAction *m_reinitAction = nullptr;
};

} // namespace tavsms
