// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "desktop/HelpWindow.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

const QUrl kContents(QStringLiteral("qrc:/marulet/help/index.html"));

// Every link target and every anchor name of a document, as the browser read it.
struct PageLinks {
    QStringList hrefs;
    QSet<QString> anchors;
};

PageLinks linksOf(const QTextDocument& doc) {
    PageLinks links;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.anchorHref().isEmpty()) links.hrefs << format.anchorHref();
            for (const QString& name : format.anchorNames())
                links.anchors.insert(name);
        }
    }
    return links;
}

QToolButton* button(const HelpWindow& window, const QString& text) {
    for (QToolButton* b : window.findChildren<QToolButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

void writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

} // namespace

TEST(HelpWindowTest, EachTopicAndTheContentsShowTheirOwnTitledPage) {
    HelpWindow window;
    const QList<std::pair<int, QString>> topics = {
        {1, QStringLiteral("駒の操作と画面の見方")},
        {3, QStringLiteral("サウンド／パラメータ")},
        {4, QStringLiteral("デザイン設定")},
    };
    QSet<QString> pages;
    for (const auto& [context, title] : topics) {
        window.showTopic(context);
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.browser()->documentTitle(), title) << context;
        EXPECT_TRUE(window.windowTitle().startsWith(title)) << context;
        const QString text = window.browser()->toPlainText();
        EXPECT_TRUE(text.contains(title)) << context;
        EXPECT_GT(text.size(), 800) << context; // a real page, not a stub
        pages.insert(window.currentPage().toString());
    }
    EXPECT_EQ(pages.size(), 3);
    EXPECT_FALSE(pages.contains(kContents.toString()));

    window.showContents();
    EXPECT_EQ(window.currentPage(), kContents);
    EXPECT_EQ(window.browser()->documentTitle(), QStringLiteral("Marulet ヘルプ"));
}

TEST(HelpWindowTest, UnknownContextNumbersShowTheContents) {
    HelpWindow window;
    for (int context : {0, 2, 5, -1, 1000}) {
        window.showTopic(1);
        window.showTopic(context);
        EXPECT_EQ(window.currentPage(), kContents) << context;
        EXPECT_FALSE(window.browser()->toPlainText().isEmpty()) << context;
    }
}

// Both languages: the English pages carry the same pages and anchors.
TEST(HelpWindowTest, EveryLinkOfEveryPageLeadsToAnExistingPageAndAnchor) {
    QHash<QString, QSet<QString>> japaneseAnchors;
    for (const char* language : {"ja", "en"}) {
        SCOPED_TRACE(language);
        const QUrl kContents = QUrl(QStringLiteral("qrc") + HelpWindow::pagesFor(language))
                                   .resolved(QUrl("index.html"));
        const QStringList files =
            QDir(HelpWindow::pagesFor(language)).entryList({"*.html"}, QDir::Files);
        ASSERT_EQ(files.size(), 4);
        QTextBrowser browser;
        QHash<QString, QSet<QString>> anchors;
        QHash<QString, QStringList> links;
        for (const QString& file : files) {
            browser.setSource(kContents.resolved(QUrl(file)));
            const PageLinks found = linksOf(*browser.document());
            anchors[file] = found.anchors;
            links[file] = found.hrefs;
        }
        QSet<QString> reached = {QStringLiteral("index.html")};
        for (const QString& file : files) {
            const QUrl page = kContents.resolved(QUrl(file));
            for (const QString& href : links[file]) {
                const QUrl target = page.resolved(QUrl(href));
                ASSERT_EQ(target.scheme(), QStringLiteral("qrc"))
                    << file.toStdString() << " " << href.toStdString();
                const QString name = target.fileName();
                EXPECT_TRUE(files.contains(name))
                    << file.toStdString() << " -> " << href.toStdString();
                if (target.hasFragment()) {
                    EXPECT_TRUE(anchors[name].contains(target.fragment()))
                        << file.toStdString() << " -> " << href.toStdString();
                }
                reached.insert(name);
            }
        }
        // No page is left out of the web of links.
        EXPECT_EQ(reached, QSet<QString>(files.begin(), files.end()));
        if (japaneseAnchors.isEmpty()) japaneseAnchors = anchors;
        EXPECT_EQ(anchors, japaneseAnchors);
    }
}

TEST(HelpWindowTest, ClickedLinksAndTheButtonsNavigate) {
    HelpWindow window;
    window.showContents();
    emit window.browser()->anchorClicked(QUrl(QStringLiteral("sound.html#patterns")));
    EXPECT_EQ(window.currentPage().fileName(), QStringLiteral("sound.html"));
    EXPECT_EQ(window.currentPage().fragment(), QStringLiteral("patterns"));
    EXPECT_EQ(window.browser()->documentTitle(), QStringLiteral("サウンド／パラメータ"));

    QToolButton* back = button(window, QStringLiteral("戻る"));
    ASSERT_NE(back, nullptr);
    ASSERT_TRUE(back->isEnabled());
    back->click();
    EXPECT_EQ(window.currentPage(), kContents);

    window.showTopic(4);
    QToolButton* contents = button(window, QStringLiteral("目次"));
    ASSERT_NE(contents, nullptr);
    contents->click();
    EXPECT_EQ(window.currentPage(), kContents);
}

TEST(HelpWindowTest, MissingPagesShowAMessageAndLeaveAWayBack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeFile(dir.filePath(QStringLiteral("index.html")),
              "<html><head><title>Contents</title></head><body>"
              "<p><a href=\"gone.html\">gone</a></p></body></html>");
    HelpWindow window(dir.path(), nullptr);

    window.showTopic(3); // its page is not there
    EXPECT_TRUE(window.currentPage().isEmpty());
    EXPECT_TRUE(window.browser()->toPlainText().contains(QStringLiteral("sound.html")));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Marulet ヘルプ"));
    const PageLinks message = linksOf(*window.browser()->document());
    ASSERT_EQ(message.hrefs.size(), 1); // to the contents
    emit window.browser()->anchorClicked(QUrl(message.hrefs.first()));
    EXPECT_EQ(window.browser()->documentTitle(), QStringLiteral("Contents"));

    emit window.browser()->anchorClicked(QUrl(QStringLiteral("gone.html")));
    EXPECT_TRUE(window.currentPage().isEmpty());
    EXPECT_TRUE(window.browser()->toPlainText().contains(QStringLiteral("gone.html")));
    button(window, QStringLiteral("戻る"))->click();
    EXPECT_EQ(window.currentPage().fileName(), QStringLiteral("index.html"));
    EXPECT_TRUE(window.browser()->toPlainText().contains(QStringLiteral("gone")));

    // Asking for the page that was on show before the message reloads it.
    emit window.browser()->anchorClicked(QUrl(QStringLiteral("gone.html")));
    window.showContents();
    EXPECT_EQ(window.browser()->documentTitle(), QStringLiteral("Contents"));
}

TEST(HelpWindowTest, AFolderWithoutPagesShowsOnlyAMessage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    HelpWindow window(dir.path(), nullptr);
    window.showContents();
    EXPECT_TRUE(window.currentPage().isEmpty());
    EXPECT_TRUE(window.browser()->toPlainText().contains(QStringLiteral("index.html")));
    EXPECT_TRUE(linksOf(*window.browser()->document()).hrefs.isEmpty());
    window.showTopic(1);
    EXPECT_TRUE(window.browser()->toPlainText().contains(QStringLiteral("field.html")));
}
