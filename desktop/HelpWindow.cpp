// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/HelpWindow.h"

#include <QDesktopServices>
#include <QDir>
#include <QEvent>
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

HelpWindow::HelpWindow(QWidget* parent) : HelpWindow(pagesFor(QStringLiteral("ja")), parent) {}

QString HelpWindow::pagesFor(const QString& language) {
    return language == QLatin1String("en") ? QStringLiteral(":/marulet/help/en/")
                                           : QStringLiteral(":/marulet/help/");
}

QString HelpWindow::helpTitle() const {
    return tr("Marulet ヘルプ");
}

void HelpWindow::setPageFolder(const QString& folder) {
    const QUrl page = m_page;
    m_folder = folderUrl(folder);
    // The page on show, from the new folder; the history held the old one.
    m_browser->clearHistory();
    if (page.isEmpty()) return;
    QUrl same = pageUrl(page.fileName());
    same.setFragment(page.fragment());
    openPage(same);
}

void HelpWindow::retranslateUi() {
    m_contentsButton->setText(tr("目次"));
    m_backButton->setText(tr("戻る"));
    m_forwardButton->setText(tr("進む"));
    updateTitle();
}

void HelpWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslateUi();
    QWidget::changeEvent(event);
}

HelpWindow::HelpWindow(const QString& pageFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), m_folder(folderUrl(pageFolder)) {
    initHelpResources();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(helpTitle());
    resize(680, 560);

    m_contentsButton = makeButton(QString(), this);
    m_backButton = makeButton(QString(), this);
    m_forwardButton = makeButton(QString(), this);
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
    retranslateUi();
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
    QString html = QStringLiteral("<h1>%1</h1><p>%2</p>")
                       .arg(tr("ページが見つかりません"),
                            tr("ヘルプのページ「%1」がないため、表示できません。")
                                .arg((name.isEmpty() ? url.toString() : name).toHtmlEscaped()));
    const QUrl contents = pageUrl(kContentsPage);
    if (pageExists(contents) && url.adjusted(QUrl::RemoveFragment) != contents)
        html +=
            QStringLiteral("<p><a href=\"%1\">%2</a></p>").arg(contents.toString(), tr("目次へ"));
    m_browser->setHtml(html);
    m_page = QUrl();
    updateTitle();
    updateButtons();
}

void HelpWindow::updateTitle() {
    const QString title = m_page.isEmpty() ? QString() : m_browser->documentTitle();
    // The contents page bears the window's own title: shown once.
    setWindowTitle(title.isEmpty() || title == helpTitle()
                       ? helpTitle()
                       : title + QStringLiteral(" - ") + helpTitle());
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
