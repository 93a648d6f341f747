#include "ui/HelpWindow.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

// The pages live in a static library: without this reference the linker
// would drop their resource data from the program.
static void initHelpResources() {
    Q_INIT_RESOURCE(help);
}

namespace {

constexpr QLatin1String kContentsPage("index.html");

QString helpTitle() {
    return QStringLiteral("Marulet ヘルプ");
}

QString topicPage(int context) {
    switch (context) {
    case 1:
        return QStringLiteral("field.html");
    case 3:
        return QStringLiteral("sound.html");
    case 4:
        return QStringLiteral("design.html");
    default:
        return QString(kContentsPage);
    }
}

// The folder as a URL ending in '/', so that page names resolve inside it.
QUrl folderUrl(const QString& folder) {
    if (folder.startsWith(QLatin1Char(':'))) {
        const QString path = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        return QUrl(QStringLiteral("qrc") + path);
    }
    return QUrl::fromLocalFile(QDir(folder).absolutePath() + QLatin1Char('/'));
}

QToolButton* makeButton(const QString& text, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

} // namespace

HelpWindow::HelpWindow(QWidget* parent) : HelpWindow(QStringLiteral(":/marulet/help/"), parent) {}

HelpWindow::HelpWindow(const QString& pageFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), m_folder(folderUrl(pageFolder)) {
    initHelpResources();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(helpTitle());
    resize(680, 560);

    m_contentsButton = makeButton(QStringLiteral("目次"), this);
    m_backButton = makeButton(QStringLiteral("戻る"), this);
    m_forwardButton = makeButton(QStringLiteral("進む"), this);
    m_browser = new QTextBrowser(this);
    // Links are followed here, so a missing page gets a message and a web
    // address goes to the user's browser.
    m_browser->setOpenLinks(false);
    // One look for every page, kept here rather than in each page.
    m_browser->document()->setDefaultStyleSheet(QStringLiteral(
        "body { font-size: 11pt; } h1 { font-size: 18pt; }"
        " h2 { font-size: 14pt; margin-top: 16px; } h3 { font-size: 12pt; }"
        " td, th { padding: 3px 6px; } th { background-color: #e8e8e8; text-align: left; }"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_contentsButton);
    bar->addWidget(m_backButton);
    bar->addWidget(m_forwardButton);
    bar->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(m_browser);

    connect(m_contentsButton, &QToolButton::clicked, this, &HelpWindow::showContents);
    connect(m_backButton, &QToolButton::clicked, this, &HelpWindow::goBack);
    connect(m_forwardButton, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::followLink);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
        m_page = url;
        updateTitle();
    });
    connect(m_browser, &QTextBrowser::historyChanged, this, &HelpWindow::updateButtons);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    updateButtons();
}

void HelpWindow::showContents() {
    openPage(pageUrl(kContentsPage));
    present();
}

void HelpWindow::showTopic(int context) {
    openPage(pageUrl(topicPage(context)));
    present();
}

void HelpWindow::openPage(const QUrl& url) {
    if (!pageExists(url)) {
        showMissing(url);
        return;
    }
    // The same page again would not reload, and the title would stay that of
    // a message shown in between.
    m_browser->setSource(url);
    m_page = url;
    updateTitle();
    updateButtons();
}

void HelpWindow::followLink(const QUrl& link) {
    const QUrl base = m_page.isEmpty() ? pageUrl(kContentsPage) : m_page;
    const QUrl target = base.resolved(link);
    const QString scheme = target.scheme();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("mailto")) {
        QDesktopServices::openUrl(target);
        return;
    }
    openPage(target);
}

void HelpWindow::goBack() {
    // From a missing-page message, back is the page the link was on.
    if (m_page.isEmpty() && !m_browser->source().isEmpty()) {
        openPage(m_browser->source());
        return;
    }
    m_browser->backward();
}

void HelpWindow::showMissing(const QUrl& url) {
    const QString name = url.adjusted(QUrl::RemoveFragment).fileName();
    QString html =
        QStringLiteral("<h1>ページが見つかりません</h1><p>ヘルプのページ「%1」がないため、"
                       "表示できません。</p>")
            .arg((name.isEmpty() ? url.toString() : name).toHtmlEscaped());
    const QUrl contents = pageUrl(kContentsPage);
    if (pageExists(contents) && url.adjusted(QUrl::RemoveFragment) != contents)
        html += QStringLiteral("<p><a href=\"%1\">目次へ</a></p>").arg(contents.toString());
    m_browser->setHtml(html);
    m_page = QUrl();
    updateTitle();
    updateButtons();
}

void HelpWindow::updateTitle() {
    const QString title = m_page.isEmpty() ? QString() : m_browser->documentTitle();
    setWindowTitle(title.isEmpty() ? helpTitle() : title + QStringLiteral(" - ") + helpTitle());
}

void HelpWindow::updateButtons() {
    m_backButton->setEnabled(m_browser->isBackwardAvailable() ||
                             (m_page.isEmpty() && !m_browser->source().isEmpty()));
    m_forwardButton->setEnabled(m_browser->isForwardAvailable());
}

void HelpWindow::present() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

QUrl HelpWindow::pageUrl(const QString& fileName) const {
    return m_folder.resolved(QUrl(fileName));
}

bool HelpWindow::pageExists(const QUrl& url) const {
    const QUrl page = url.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery);
    if (page.scheme() == QLatin1String("qrc"))
        return QFileInfo(QLatin1Char(':') + page.path()).isFile();
    if (page.isLocalFile()) return QFileInfo(page.toLocalFile()).isFile();
    return false;
}
