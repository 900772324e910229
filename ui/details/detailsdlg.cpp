#include "details/detailsdlg.h"

#include "details/chargrid.h"
#include "details/waterfall.h"
#include "core/screenmetrics.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int kSmallestTextPixels = 12;

QString sizeText(qint64 bytes)
{
    return QLocale(QLocale::Chinese, QLocale::China).formattedDataSize(bytes) +
           QStringLiteral(" (%1 字节)").arg(bytes);
}

QLabel *valueLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setStyleSheet(QStringLiteral("color:#333333;"));
    return label;
}

QScrollArea *scrolled(QWidget *content, QWidget *parent)
{
    auto *area = new QScrollArea(parent);
    area->setWidget(content);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setStyleSheet(QStringLiteral("QScrollArea{background:white;}"));
    area->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    content->setStyleSheet(QStringLiteral("background:white;"));
    return area;
}

} // namespace

DetailsDlg::DetailsDlg(QWidget *parent, const CardActions &card,
                       const std::optional<FontAV> &catalogue, const QString &previewText)
    : FramelessDlg(parent, dialogOptions(false)), m_name(card.name), m_catalogue(catalogue),
      m_previewText(previewText)
{
    setObjectName(QStringLiteral("DetailsDlg"));
    setWindowTitle(QStringLiteral("字体信息"));
    using DlgLook::px;
    auto *body = new QWidget(this);
    body->setObjectName(QStringLiteral("detailsBody"));
    body->setStyleSheet(QStringLiteral("#detailsBody{background:white;border-radius:%1px;}")
                            .arg(px(6)));
    auto *column = new QVBoxLayout(body);
    column->setContentsMargins(px(20), px(14), px(20), px(16));
    column->setSpacing(px(6));

    m_title = new QLabel(m_name, body);
    m_title->setStyleSheet(QStringLiteral("color:#333333;font-weight:bold;"));
    QFont titleFont = m_title->font();
    titleFont.setPixelSize(px(18));
    m_title->setFont(titleFont);
    m_subtitle = new QLabel(body);
    m_subtitle->setStyleSheet(QStringLiteral("color:#7F7F7F;"));
    column->addWidget(m_title);
    column->addWidget(m_subtitle);

    m_tabs = new QTabWidget(body);
    m_tabs->setDocumentMode(true);
    m_info = new QWidget;
    m_form = new QFormLayout(m_info);
    m_form->setLabelAlignment(Qt::AlignRight | Qt::AlignTop);
    m_form->setHorizontalSpacing(px(12));
    m_form->setVerticalSpacing(px(6));
    m_tabs->addTab(scrolled(m_info, m_tabs), QStringLiteral("信息"));
    m_waterfall = new Waterfall;
    m_tabs->addTab(scrolled(m_waterfall, m_tabs), QStringLiteral("瀑布"));

    auto *chars = new QWidget(m_tabs);
    auto *charColumn = new QVBoxLayout(chars);
    charColumn->setContentsMargins(0, px(4), 0, 0);
    m_grid = new CharGrid(chars);
    m_hoverLabel = new QLabel(QStringLiteral("将鼠标移到字符上查看编码"), chars);
    m_hoverLabel->setStyleSheet(QStringLiteral("color:#7F7F7F;"));
    charColumn->addWidget(m_grid, 1);
    charColumn->addWidget(m_hoverLabel);
    connect(m_grid, &CharGrid::hovered, this, [this](uint code) {
        if (code == 0) {
            m_hoverLabel->setText(QStringLiteral("将鼠标移到字符上查看编码"));
            return;
        }
        m_hoverLabel->setText(QString::fromUcs4(&code, 1) + QStringLiteral("   ") +
                              FontDetails::codePointText(code));
    });
    m_tabs->addTab(chars, QStringLiteral("字符"));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index > 0)
            showFont();
    });
    column->addWidget(m_tabs, 1);

    // Small screens shrink the program's dialogs; this one holds running text and a grid,
    // so it keeps its full size there (inside the screen) and a readable font.
    QSize design(720, 560);
    if (uiScaleY < 1.0 && !deskRect.isEmpty())
        design = QSize(int(qMin(720.0, deskRect.width() * 0.95) / uiScaleY),
                       int(qMin(560.0, deskRect.height() * 0.88) / uiScaleY));
    setBody(body, design);
    if (font().pixelSize() < kSmallestTextPixels) {
        QFont readable = font();
        readable.setPixelSize(kSmallestTextPixels);
        setFont(readable);
        for (QWidget *child : body->findChildren<QWidget *>())
            child->setFont(readable);
        titleFont.setPixelSize(qMax(titleFont.pixelSize(), kSmallestTextPixels + 4));
        m_title->setFont(titleFont);
    }
    if (card.file.isEmpty())
        showCatalogue();
    else
        showFile(card.file);
}

DetailsDlg::~DetailsDlg()
{
    if (m_fontId >= 0)
        QFontDatabase::removeApplicationFont(m_fontId);
}

void DetailsDlg::clearInfo()
{
    while (m_form->rowCount() > 0)
        m_form->removeRow(0);
    m_downloadBt = nullptr;
}

void DetailsDlg::addRow(const QString &label, const QString &text)
{
    if (text.isEmpty())
        return;
    auto *name = new QLabel(label, m_info);
    name->setStyleSheet(QStringLiteral("color:#7F7F7F;"));
    auto *value = valueLabel(text, m_info);
    // Labels with a style sheet of their own do not inherit the dialog's scaled font.
    name->setFont(font());
    value->setFont(font());
    m_form->addRow(name, value);
}

void DetailsDlg::addName(const QString &label, const FontDetails::Name &name)
{
    if (!name.chinese.isEmpty() && !name.english.isEmpty() && name.chinese != name.english)
        addRow(label, name.chinese + QLatin1Char('\n') + name.english);
    else
        addRow(label, name.preferred());
}

void DetailsDlg::showCatalogue()
{
    clearInfo();
    m_subtitle->setText(m_catalogue ? m_catalogue->font_en_name : QString());
    if (m_catalogue) {
        addRow(QStringLiteral("名称"), m_catalogue->fontname);
        addRow(QStringLiteral("英文名称"), m_catalogue->font_en_name);
        addRow(QStringLiteral("字体文件"), m_catalogue->ttf_name);
    }
    addRow(QStringLiteral("状态"), QStringLiteral("尚未下载，下载后可查看字形、字符与覆盖范围"));
    m_downloadBt = new QPushButton(QStringLiteral("下载字体"), m_info);
    m_downloadBt->setObjectName(QStringLiteral("downloadBt"));
    m_downloadBt->setStyleSheet(DlgLook::primaryButton());
    m_downloadBt->setFixedSize(DlgLook::px(120), DlgLook::px(30));
    m_downloadBt->setCursor(Qt::PointingHandCursor);
    m_downloadBt->setFont(font());
    m_downloadBt->setEnabled(m_catalogue.has_value());
    connect(m_downloadBt, &QPushButton::clicked, this, [this] {
        m_downloadBt->setEnabled(false);
        m_downloadBt->setText(QStringLiteral("正在下载…"));
        emit downloadRequested(m_name);
    });
    m_form->addRow(QString(), m_downloadBt);
    m_tabs->setTabEnabled(1, false);
    m_tabs->setTabEnabled(2, false);
}

void DetailsDlg::downloadFailed()
{
    if (!m_downloadBt)
        return;
    m_downloadBt->setEnabled(true);
    m_downloadBt->setText(QStringLiteral("下载失败，重试"));
}

void DetailsDlg::showFile(const QString &path)
{
    QByteArray bytes;
    m_details = FontDetails::read(path, &bytes);
    clearInfo();
    if (!m_details.ok) {
        addRow(QStringLiteral("文件"), QDir::toNativeSeparators(path));
        addRow(QStringLiteral("错误"), m_details.error);
        m_tabs->setTabEnabled(1, false);
        m_tabs->setTabEnabled(2, false);
        return;
    }
    const FontDetails::Details &d = m_details;
    if (!d.family.isEmpty())
        m_title->setText(d.family.preferred());
    m_subtitle->setText(QStringList{d.family.english == d.family.preferred() ? QString()
                                                                           : d.family.english,
                                    d.style.preferred()}
                            .filter(QRegularExpression(QStringLiteral(".")))
                            .join(QStringLiteral(" · ")));
    addName(QStringLiteral("字体家族"), d.family);
    addName(QStringLiteral("字体样式"), d.style);
    addName(QStringLiteral("全名"), d.fullName);
    addName(QStringLiteral("PostScript 名称"), d.psName);
    addName(QStringLiteral("版本"), d.version);
    addName(QStringLiteral("设计师"), d.designer);
    FontDetails::Name vendor = d.vendor;
    if (!d.vendorId.isEmpty())
        vendor.english += (vendor.english.isEmpty() ? QString() : QStringLiteral(" ")) +
                          QStringLiteral("(%1)").arg(d.vendorId);
    addName(QStringLiteral("厂商"), vendor);
    addRow(QStringLiteral("文件"), QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    addRow(QStringLiteral("文件大小"), sizeText(d.fileSize));
    addRow(QStringLiteral("格式"), d.faceCount > 1
                                       ? QStringLiteral("%1，%2 个字体").arg(d.format).arg(d.faceCount)
                                       : d.format);
    addRow(QStringLiteral("字形数"), QString::number(d.glyphCount));
    addRow(QStringLiteral("字符数"), QString::number(d.characters.size()));
    QStringList coverage;
    for (const FontDetails::Coverage &c : d.coverage) {
        if (c.total == 0)
            continue;
        coverage << QStringLiteral("%1  %2 / %3  (%4%)")
                        .arg(c.label)
                        .arg(c.covered)
                        .arg(c.total)
                        .arg(c.percent(), 0, 'f', c.covered == c.total || c.covered == 0 ? 0 : 1);
    }
    addRow(QStringLiteral("书写系统"), coverage.join(QLatin1Char('\n')));
    // Licence texts run to pages: they come last.
    addName(QStringLiteral("许可协议网址"), d.licenceUrl);
    addName(QStringLiteral("版权"), d.copyright);
    addName(QStringLiteral("许可协议"), d.licence);

    m_fontBytes = bytes;
    m_fontShown = false;
    m_tabs->setTabEnabled(1, true);
    m_tabs->setTabEnabled(2, true);
    if (m_tabs->currentIndex() > 0)
        showFont();
}

void DetailsDlg::showFont()
{
    if (m_fontShown || m_fontBytes.isEmpty())
        return;
    m_fontShown = true;
    const FontDetails::Details &d = m_details;
    // The dialog's own copy of the font, so it draws this file whatever else is installed.
    // Made when a tab that draws it is first shown: the information opens without it.
    if (m_fontId >= 0)
        QFontDatabase::removeApplicationFont(m_fontId);
    m_fontId = QFontDatabase::addApplicationFontFromData(m_fontBytes);
    QFont font(this->font());
    const QStringList families = QFontDatabase::applicationFontFamilies(m_fontId);
    font.setFamily(families.isEmpty() ? d.family.english : families.first());
    if (!d.style.english.isEmpty())
        font.setStyleName(d.style.english);
    const QString sample = m_previewText.isEmpty() ? d.family.preferred() : m_previewText;
    m_waterfall->setContent(font, sample);
    m_grid->setCharacters(d.characters, font);
}
