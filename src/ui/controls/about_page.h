#pragma once

#include <filesystem>

#include "ui/app/sub_dialog.h"
#include "ui/controls/link_static.h"

class QLabel;

namespace chimeon {

class CGifPicture;

// The vendor's addresses the links and the logo open.
inline constexpr char kVendorSite[] = "https://larkworks.example/";
inline constexpr char kVendorMail[] = "support@larkworks.example";
inline constexpr char kAboutNotice[] =
    "本程序受著作权法保护，未经授权，不得复制或传播其全部或部分。";
// The logo, beside the program's data.
inline constexpr char kLogoFileName[] = "Larkworks.gif";

// The about page: the program icon, the product name with its version, the notice line, the
// animated logo and the links to the vendor's web site and support mail address.
class CAboutPage : public CSubDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 100;

    // `logoPath` empty or unreadable: the page shows no logo, and says nothing of it.
    explicit CAboutPage(std::filesystem::path logoPath, LinkOpener opener = DesktopLinkOpener(),
                        QWidget* parent = nullptr);

    QLabel* productText() const { return m_product; }
    CGifPicture* logo() const { return m_logo; }
    CLinkStatic* webLink() const { return m_webLink; }
    CLinkStatic* mailLink() const { return m_mailLink; }

protected:
    void OnInitDialog() override;

private:
    std::filesystem::path logoPath_;
    LinkOpener opener_;
    QLabel* m_product = nullptr;
    CGifPicture* m_logo = nullptr;
    CLinkStatic* m_webLink = nullptr;
    CLinkStatic* m_mailLink = nullptr;
};

}  // namespace chimeon
