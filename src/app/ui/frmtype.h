// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The chooser: two picture buttons pick the catalogue kind and open the main
// window; closing the chooser without a pick ends the program.
#include "common/ui/tooltip.h"

#include <QCursor>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <array>

namespace velmora {

// A picture box showing one of three images (normal, hover, pressed) with
// the hover, press and click behaviour of the chooser's buttons.
class PictureButton : public QWidget
{
    Q_OBJECT
public:
    explicit PictureButton(QWidget *parent = nullptr);

    // The three images the button switches between; they must outlive it.
    void setImages(const std::array<QPixmap, 3> *images) { m_images = images; }
    void setPicture(const QPixmap &picture);
    QPixmap picture() const { return m_picture; }
    // Which of the three images is shown, by identity; -1 for none of them.
    int shownImage() const;

    // Inclusive on all four edges: x == width() and y == height() are inside.
    bool isInside(const QPointF &pos) const;

public slots:
    // A pick without the mouse (Enter, Space, a screen reader's press).
    void click() { emit clicked(); }

signals:
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool shows(int index) const;
    const std::array<QPixmap, 3> *m_images = nullptr;
    QPixmap m_picture;
    bool m_pressed = false;
};

// An invisible clickable area over the background that opens a web page.
// Tab reaches it like a button; Enter or Space opens the page.
class LinkArea : public QWidget
{
    Q_OBJECT
public:
    explicit LinkArea(QWidget *parent = nullptr);
public slots:
    void click() { emit clicked(); }
signals:
    void clicked();
protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

// A credit line that opens a web page, reached and pressed as LinkArea is.
class LinkLabel : public QLabel
{
    Q_OBJECT
public:
    LinkLabel(const QString &text, QWidget *parent);
public slots:
    void click() { emit clicked(); }
signals:
    void clicked();
protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

class frmType : public QWidget
{
    Q_OBJECT
public:
    // Built disabled: whoever opens it enables it.
    explicit frmType(QWidget *parent = nullptr);
    ~frmType() override;

    // The chooser currently loaded (null when none).
    static frmType *current();

    static const QString kMakerPage;
    static const QString kPartnerPage;
    static const QString kSponsorPage;

    PictureButton *picAnime = nullptr;
    PictureButton *picMusic = nullptr;
    std::array<QPixmap, 3> imgAnimeRes;
    std::array<QPixmap, 3> imgMusicRes;
    QCursor picMouseIconRes;
    LinkArea *imgLogo = nullptr;
    LinkArea *imgPartner = nullptr;
    LinkLabel *lblSponsor = nullptr;
    QLabel *lblComment = nullptr;
    clsToolTip tipAnime;
    clsToolTip tipMusic;

protected:
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void Form_Load();
    void Pick(bool animeMode);
    void InstallKeys();
    void OpenPage(const QString &address);
    // Draws the background and the button images for a device pixel ratio;
    // a button keeps showing the same one of its three images.
    void DrawArtwork(qreal dpr);

    QPixmap m_background;
};

} // namespace velmora
