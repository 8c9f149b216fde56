#pragma once

#include "ConnectionSettings.h"
#include "MessageBoxPrompter.h"

#include <QCoroTask>
#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace tavsms {

class GatewayAccount;

// frmConfig, "Modem Settings": five port tabs and the "Internet SMS" tab,
// which also holds the send listener's address and allowed networks.
// A thin view over ConnectionSettings and, for the Internet tab's "Apply",
// the gateway account.
class ConnectionSettingsWindow : public QWidget
{
    Q_OBJECT
public:
    // `account` may be null (the program has not started); the Internet
    // tab's "Apply" then does nothing.
    ConnectionSettingsWindow(Database &db, ConnectionSettings::Hooks hooks, GatewayAccount *account,
                             const QString &productSite, QWidget *parent = nullptr);
    ~ConnectionSettingsWindow() override;

    struct PortWidgets
    {
        QCheckBox *active;
        QComboBox *systemPort;
        QComboBox *modemType;
        QLineEdit *mobileOperator;
        QCheckBox *allowRouting;
        QCheckBox *allowTwoWay;
        QCheckBox *blockIncoming;
        QCheckBox *pduMode;
        QCheckBox *deliveryReports;
        QPushButton *apply;
        QLabel *status;
    };
    const PortWidgets &portTab(int index) const { return m_ports.at(size_t(index)); }
    QTabWidget *tabs() const { return m_tabs; }

    // What the buttons do; public so that tests drive the screen like an operator.
    QCoro::Task<void> applyInternet();
    QCoro::Task<void> updateSettings();
    QCoro::Task<void> closeScreen();
    void applyPort(int index);

private:
    QWidget *buildPortTab(int index);
    QWidget *buildInternetTab(const QString &productSite);
    void load();
    void setPortEnabled(int index, bool enabled);
    void showPduChoice(int index);
    void setInternetEnabled(bool enabled);
    void onBlockToggled(bool checked);

    MessageBoxPrompter m_prompter{this};
    ConnectionSettings m_settings;
    GatewayAccount *m_account;
    QTabWidget *m_tabs;
    std::array<PortWidgets, kPortCount> m_ports{};
    QCheckBox *m_internetActive = nullptr;
    QLineEdit *m_username = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_gsmId = nullptr;
    QLineEdit *m_cdmaId = nullptr;
    QPushButton *m_internetApply = nullptr;
    QSpinBox *m_parallelRequests = nullptr;
    QLineEdit *m_listenAddress = nullptr;
    QLineEdit *m_allowedNetworks = nullptr;
    bool m_passwordEdited = false;
};

} // namespace tavsms
