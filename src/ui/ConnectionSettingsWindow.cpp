#include "ConnectionSettingsWindow.h"

#include "AppState.h"
#include "GatewayAccount.h"
#include "NetworkSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tavsms {

ConnectionSettingsWindow::ConnectionSettingsWindow(Database &db, ConnectionSettings::Hooks hooks,
                                                   GatewayAccount *account, const QString &productSite,
                                                   QWidget *parent)
    : QWidget(parent)
    , m_settings(db, m_prompter, std::move(hooks))
    , m_account(account)
    , m_tabs(new QTabWidget(this))
{
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(QStringLiteral("Modem Settings"));
    resize(600, 440);
    for (int i = 0; i < kPortCount; ++i)
        m_tabs->addTab(buildPortTab(i), QStringLiteral("Port %1").arg(i + 1));
    m_tabs->addTab(buildInternetTab(productSite), QStringLiteral("Internet SMS"));

    auto *update = new QPushButton(QStringLiteral("Update Settings"), this);
    update->setObjectName(QStringLiteral("cmdUpdate"));
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(update, &QPushButton::clicked, this, [this] { updateSettings(); });
    connect(close, &QPushButton::clicked, this, [this] { closeScreen(); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(update);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
    load();
}

ConnectionSettingsWindow::~ConnectionSettingsWindow() = default;

QWidget *ConnectionSettingsWindow::buildPortTab(int index)
{
    auto *page = new QWidget;
    PortWidgets &w = m_ports[size_t(index)];
    w.active = new QCheckBox(QStringLiteral("Activate Software Port"), page);
    w.systemPort = new QComboBox(page);
    // Editable, so that a device path (/dev/ttyUSB0, a by-id link) can be typed in.
    w.systemPort->setEditable(true);
    w.modemType = new QComboBox(page);
    w.modemType->addItems(kDeviceTypes);
    w.mobileOperator = new QLineEdit(page);
    w.allowRouting = new QCheckBox(QStringLiteral("Allow Outgoing SMS"), page);
    w.allowTwoWay = new QCheckBox(QStringLiteral("Allow Auto-Reply SMS"), page);
    w.blockIncoming = new QCheckBox(QStringLiteral("Block Incoming Calls"), page);
    w.pduMode = new QCheckBox(QStringLiteral("Unicode and long messages (PDU mode)"), page);
    w.pduMode->setObjectName(QStringLiteral("chkPdu%1").arg(index + 1));
    w.deliveryReports = new QCheckBox(QStringLiteral("Request delivery reports"), page);
    w.deliveryReports->setObjectName(QStringLiteral("chkReports%1").arg(index + 1));
    w.apply = new QPushButton(QStringLiteral("Apply"), page);
    w.status = new QLabel(page);
    w.status->setObjectName(QStringLiteral("lblStatus%1").arg(index + 1));
    w.status->setAutoFillBackground(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("System Port No:"), w.systemPort);
    form->addRow(QStringLiteral("Modem Type:"), w.modemType);
    form->addRow(QStringLiteral("Mobile Operator Name:"), w.mobileOperator);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(w.active);
    layout->addLayout(form);
    layout->addWidget(w.allowRouting);
    layout->addWidget(w.allowTwoWay);
    layout->addWidget(w.blockIncoming);
    auto *gsmOptions = new QHBoxLayout;
    gsmOptions->addWidget(w.pduMode);
    gsmOptions->addWidget(w.deliveryReports);
    gsmOptions->addStretch();
    layout->addLayout(gsmOptions);
    layout->addWidget(w.apply, 0, Qt::AlignRight);
    layout->addStretch();
    layout->addWidget(w.status);

    connect(w.active, &QCheckBox::toggled, this, [this, index](bool on) { setPortEnabled(index, on); });
    connect(w.blockIncoming, &QCheckBox::toggled, this, &ConnectionSettingsWindow::onBlockToggled);
    connect(w.apply, &QPushButton::clicked, this, [this, index] { applyPort(index); });
    connect(w.modemType, &QComboBox::currentIndexChanged, this, [this, index] { showPduChoice(index); });
    setPortEnabled(index, false);
    return page;
}

QWidget *ConnectionSettingsWindow::buildInternetTab(const QString &productSite)
{
    auto *page = new QWidget;
    m_internetActive = new QCheckBox(QStringLiteral("Activate Internet SMS"), page);
    m_username = new QLineEdit(page);
    m_username->setObjectName(QStringLiteral("txtUsername"));
    m_password = new QLineEdit(page);
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_gsmId = new QLineEdit(page);
    m_gsmId->setObjectName(QStringLiteral("txtGsmId"));
    m_gsmId->setReadOnly(true);
    m_cdmaId = new QLineEdit(page);
    m_cdmaId->setObjectName(QStringLiteral("txtCdmaId"));
    m_cdmaId->setReadOnly(true);
    m_internetApply = new QPushButton(QStringLiteral("Apply"), page);
    m_internetApply->setObjectName(QStringLiteral("cmdInternetApply"));
    m_parallelRequests = new QSpinBox(page);
    m_parallelRequests->setObjectName(QStringLiteral("spnParallelRequests"));
    m_parallelRequests->setRange(NetworkSettings::kFewestParallel, NetworkSettings::kMostParallel);
    m_parallelRequests->setValue(NetworkSettings{}.parallelRequests);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("User Name:"), m_username);
    form->addRow(QStringLiteral("Password:"), m_password);
    form->addRow(QStringLiteral("Parallel requests:"), m_parallelRequests);
    auto *ids = new QGroupBox(QStringLiteral("Sender IDs"), page);
    auto *idForm = new QFormLayout(ids);
    idForm->addRow(QStringLiteral("GSM ID"), m_gsmId);
    idForm->addRow(QStringLiteral("CDMA ID"), m_cdmaId);
    auto *note = new QLabel(QStringLiteral("Note: Currently this feature is supported only for service provided by ")
                                + productSite + QStringLiteral("\nSender IDs can be set from ") + productSite,
                            page);
    note->setWordWrap(true);
    // The listener serves other programs whether or not Internet SMS is on.
    auto *listener = new QGroupBox(QStringLiteral("HTTP Listener"), page);
    m_listenAddress = new QLineEdit(listener);
    m_listenAddress->setObjectName(QStringLiteral("txtListenAddress"));
    m_listenAddress->setPlaceholderText(QStringLiteral("all interfaces"));
    m_allowedNetworks = new QLineEdit(listener);
    m_allowedNetworks->setObjectName(QStringLiteral("txtAllowedNetworks"));
    m_allowedNetworks->setToolTip(QStringLiteral("Comma-separated networks, such as 127.0.0.0/8, 192.168.1.0/24"));
    auto *listenerForm = new QFormLayout(listener);
    listenerForm->addRow(QStringLiteral("Listen address:"), m_listenAddress);
    listenerForm->addRow(QStringLiteral("Allowed networks:"), m_allowedNetworks);
    listenerForm->addRow(new QLabel(QStringLiteral("Saved by \"Update Settings\"; used from the next start of the program."),
                                    listener));

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(m_internetActive);
    layout->addLayout(form);
    layout->addWidget(ids);
    layout->addWidget(m_internetApply, 0, Qt::AlignRight);
    layout->addWidget(note);
    layout->addWidget(listener);
    layout->addStretch();

    connect(m_internetActive, &QCheckBox::toggled, this, &ConnectionSettingsWindow::setInternetEnabled);
    connect(m_password, &QLineEdit::textEdited, this, [this] { m_passwordEdited = true; });
    connect(m_internetApply, &QPushButton::clicked, this, [this] { applyInternet(); });
    setInternetEnabled(false);
    return page;
}

void ConnectionSettingsWindow::setPortEnabled(int index, bool enabled)
{
    const PortWidgets &w = m_ports[size_t(index)];
    for (QWidget *control : std::initializer_list<QWidget *>{w.systemPort, w.modemType, w.mobileOperator,
                                                             w.allowRouting, w.allowTwoWay, w.blockIncoming, w.apply})
        control->setEnabled(enabled);
    showPduChoice(index);
}

void ConnectionSettingsWindow::showPduChoice(int index)
{
    // CDMA phones have their own form; the tick means nothing for them.
    const PortWidgets &w = m_ports[size_t(index)];
    const bool cdma = w.modemType->currentText() == kCdmaDeviceType;
    for (QCheckBox *box : {w.pduMode, w.deliveryReports}) {
        if (cdma)
            box->setChecked(false);
        box->setEnabled(w.active->isChecked() && !cdma);
    }
}

void ConnectionSettingsWindow::setInternetEnabled(bool enabled)
{
    m_username->setEnabled(enabled);
    m_password->setEnabled(enabled);
    m_internetApply->setEnabled(enabled);
}

void ConnectionSettingsWindow::onBlockToggled(bool checked)
{
    if (!checked)
        return;
    const bool any = std::any_of(m_ports.begin(), m_ports.end(),
                                 [](const PortWidgets &w) { return w.blockIncoming->isChecked(); });
    m_settings.noticeCallBlocking(any);
}

void ConnectionSettingsWindow::load()
{
    const std::optional<SettingsScreenState> loaded = m_settings.load();
    if (!loaded)
        return; // the boxes stay empty
    const SettingsScreenState &state = *loaded;
    m_internetActive->setChecked(state.internet.active);
    m_username->setText(state.internet.username);
    m_password->setText(ConnectionSettings::passwordPlaceholder());
    m_gsmId->setText(state.internet.gsmId);
    m_cdmaId->setText(state.internet.cdmaId);
    m_parallelRequests->setValue(state.internet.parallelRequests);
    m_listenAddress->setText(state.listener.listenAddress);
    m_allowedNetworks->setText(state.listener.allowedNetworks);
    // The list is longer than the box: show its start, not its end.
    m_allowedNetworks->setCursorPosition(0);

    for (int i = 0; i < kPortCount; ++i) {
        const PortTab &tab = state.ports[size_t(i)];
        const PortWidgets &w = m_ports[size_t(i)];
        w.systemPort->clear();
        w.systemPort->addItems(tab.portChoices);
        w.systemPort->setCurrentIndex(tab.selectedPort);
        if (!tab.settings.active)
            continue;
        w.active->setChecked(true);
        w.mobileOperator->setText(tab.settings.mobileOperator);
        w.allowRouting->setChecked(tab.settings.allowRouting);
        w.allowTwoWay->setChecked(tab.settings.allowTwoWay);
        {
            // What was stored is no tick of the operator's: no notice for it.
            const QSignalBlocker quiet(w.blockIncoming);
            w.blockIncoming->setChecked(tab.settings.blockIncoming);
        }
        const int type = int(kDeviceTypes.indexOf(tab.settings.deviceType));
        if (type >= 0)
            w.modemType->setCurrentIndex(type);
        w.pduMode->setChecked(tab.settings.pduMode);
        w.deliveryReports->setChecked(tab.settings.deliveryReports);
        if (!tab.caution.isEmpty()) {
            QPalette palette = w.status->palette();
            palette.setColor(QPalette::Window, QColor(255, 192, 192));
            w.status->setPalette(palette);
            w.status->setText(tab.caution);
        }
    }
}

void ConnectionSettingsWindow::applyPort(int index)
{
    const PortWidgets &w = m_ports[size_t(index)];
    PortSettings s;
    s.active = true;
    s.systemPort = w.systemPort->currentText();
    s.deviceType = w.modemType->currentText();
    s.mobileOperator = w.mobileOperator->text();
    s.allowRouting = w.allowRouting->isChecked();
    s.allowTwoWay = w.allowTwoWay->isChecked();
    s.blockIncoming = w.blockIncoming->isChecked();
    s.pduMode = w.pduMode->isChecked() && w.pduMode->isEnabled();
    s.deliveryReports = w.deliveryReports->isChecked() && w.deliveryReports->isEnabled();
    const ConnectionSettings::ApplyOutcome outcome = m_settings.applyPort(index, s);
    if (outcome.blockUnticked)
        w.blockIncoming->setChecked(false);
    if (outcome.focusOperator)
        w.mobileOperator->setFocus();
}

QCoro::Task<void> ConnectionSettingsWindow::applyInternet()
{
    if (!m_account)
        co_return;
    QPointer<ConnectionSettingsWindow> self(this);
    std::optional<QString> password;
    if (m_passwordEdited)
        password = m_password->text();
    m_internetApply->setEnabled(false); // one request at a time from here
    const GatewayAccount::ApplyResult result = co_await m_account->apply(m_username->text(), password);
    if (!self)
        co_return; // closed meanwhile: the account is saved, nobody to tell
    m_internetApply->setEnabled(m_internetActive->isChecked());
    if (result.activated) {
        m_gsmId->setText(result.gsmId);
        m_cdmaId->setText(result.cdmaId);
    }
    m_prompter.show(result.notice);
}

QCoro::Task<void> ConnectionSettingsWindow::updateSettings()
{
    std::array<bool, kPortCount> active{};
    for (int i = 0; i < kPortCount; ++i)
        active[size_t(i)] = m_ports[size_t(i)].active->isChecked();
    // Named, not a braced temporary in the co_await: GCC 12 destroys such a
    // temporary twice.
    std::optional<ListenerFields> listener = ListenerFields{m_listenAddress->text(), m_allowedNetworks->text()};
    co_await m_settings.updateSettings(active, m_internetActive->isChecked(), m_parallelRequests->value(), listener);
}

QCoro::Task<void> ConnectionSettingsWindow::closeScreen()
{
    QPointer<ConnectionSettingsWindow> self(this);
    const bool close = co_await m_settings.confirmClose();
    if (!self || !close)
        co_return;
    // Inside the main window the frame around the screen is what closes.
    if (parentWidget() && parentWidget()->inherits("QMdiSubWindow"))
        parentWidget()->close();
    else
        this->close();
}

} // namespace tavsms
