// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;
class QToolButton;

// The help window: the contents page and the topics that the main window and
// the dialogs open by their help context number. Links between the pages are
// followed inside the window. The owner creates one per main window and keeps
// it; it stays hidden until a page is asked for.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // The pages compiled into the program.
    explicit HelpWindow(QWidget* parent = nullptr);
    // The pages in pageFolder: a resource folder (":/...") or a plain one.
    HelpWindow(const QString& pageFolder, QWidget* parent);

    // The compiled-in pages in a language ("ja" or "en").
    static QString pagesFor(const QString& language);
    // Shows the pages of another folder from now on, the page on show included.
    void setPageFolder(const QString& folder);

    void showContents();
    // 1: the main window, 3: sound and parameters, 4: design. Any other
    // number shows the contents.
    void showTopic(int context);

    QTextBrowser* browser() const { return m_browser; }
    // The page on show (with its #anchor, if any); empty while a message
    // about a missing page is shown instead.
    QUrl currentPage() const { return m_page; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslateUi();
    QString helpTitle() const;
    void openPage(const QUrl& url);
    void followLink(const QUrl& link);
    void goBack();
    void showMissing(const QUrl& url);
    void updateTitle();
    void updateButtons();
    void present();
    QUrl pageUrl(const QString& fileName) const;
    bool pageExists(const QUrl& url) const;

    QUrl m_folder;
    QUrl m_page;
    QTextBrowser* m_browser = nullptr;
    QToolButton* m_contentsButton = nullptr;
    QToolButton* m_backButton = nullptr;
    QToolButton* m_forwardButton = nullptr;
};
