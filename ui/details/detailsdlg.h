#pragma once

#include "cards/cardactions.h"
#include "fonts/fontdetails.h"
#include "fonts/fontrecords.h"
#include "widgets/framelessdlg.h"

#include <optional>

class CharGrid;
class QFormLayout;
class QLabel;
class QPushButton;
class QTabWidget;
class Waterfall;

// A font's details: its names, licence, file and coverage, a waterfall of the preview
// text and a grid of every mapped character. For a catalogue font not on disk yet it
// shows what the catalogue says and offers to download the font to show the rest.
class DetailsDlg : public FramelessDlg
{
    Q_OBJECT

public:
    DetailsDlg(QWidget *parent, const CardActions &card, const std::optional<FontAV> &catalogue,
               const QString &previewText);
    ~DetailsDlg() override;

    const QString &fontName() const { return m_name; }
    const FontDetails::Details &details() const { return m_details; }
    CharGrid *charGrid() const { return m_grid; }
    QTabWidget *tabs() const { return m_tabs; }

signals:
    void downloadRequested(const QString &name);

public slots:
    // The font's file is on disk now: read it and show everything.
    void showFile(const QString &path);
    // The download asked for failed.
    void downloadFailed();

private:
    void showCatalogue();
    void addRow(const QString &label, const QString &text);
    void addName(const QString &label, const FontDetails::Name &name);
    void clearInfo();
    void showFont();

    QString m_name;
    std::optional<FontAV> m_catalogue;
    QString m_previewText;
    FontDetails::Details m_details;
    int m_fontId = -1;
    QByteArray m_fontBytes;
    bool m_fontShown = false;
    QLabel *m_title;
    QLabel *m_subtitle;
    QTabWidget *m_tabs;
    QWidget *m_info;
    QFormLayout *m_form;
    Waterfall *m_waterfall;
    CharGrid *m_grid;
    QLabel *m_hoverLabel;
    QPushButton *m_downloadBt = nullptr;
};
