#include "ui/controls/about_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "core/app/program_version.h"
#include "ui/app/app_icons.h"
#include "ui/controls/gif_picture.h"

namespace chimeon {

CAboutPage::CAboutPage(std::filesystem::path logoPath, LinkOpener opener, QWidget* parent)
    : CSubDialog(kTemplateId, parent),
      m_logoPath(std::move(logoPath)),
      m_opener(std::move(opener)) {}

void CAboutPage::OnInitDialog() {
    setObjectName(QStringLiteral("aboutPage"));
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon(QStringLiteral("chimeon.svg")).pixmap(32, 32));
    m_product = new QLabel(QString::fromStdString(ProductVersionText()), this);
    m_product->setObjectName(QStringLiteral("productText"));
    auto* notice = new QLabel(QString::fromUtf8(kAboutNotice), this);
    notice->setWordWrap(true);

    const QString site = QString::fromLatin1(kVendorSite);
    m_mailLink = new CLinkStatic(QStringLiteral("给我们发邮件"), this);
    m_mailLink->SetLink(QStringLiteral("mailto:") + QString::fromLatin1(kVendorMail));
    m_webLink = new CLinkStatic(QStringLiteral("访问我们的站点"), this);
    m_webLink->SetLink(site);
    for (CLinkStatic* link : {m_mailLink, m_webLink}) {
        link->SetUnderline(true);
        link->SetOpener(m_opener);
    }

    m_logo = new CGifPicture(this);
    m_logo->setObjectName(QStringLiteral("logo"));
    if (m_logo->Load(QString::fromStdString(m_logoPath.string()))) {
        m_logo->Draw();
        m_logo->setCursor(Qt::PointingHandCursor);
        m_logo->SetLink(site);
        m_logo->SetOpener(m_opener);
        m_logo->setAccessibleName(QStringLiteral("Larkworks"));
    }

    auto* title = new QVBoxLayout;
    title->addWidget(m_product);
    title->addWidget(notice);
    auto* header = new QHBoxLayout;
    header->addWidget(icon, 0, Qt::AlignTop);
    header->addLayout(title, 1);
    auto* links = new QHBoxLayout;
    links->addStretch();
    links->addWidget(m_webLink);
    links->addSpacing(24);
    links->addWidget(m_mailLink);
    links->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addStretch();
    layout->addWidget(m_logo, 0, Qt::AlignCenter);
    layout->addStretch();
    layout->addLayout(links);
}

}  // namespace chimeon
