#include "app/aboutdlg.h"

#include <QLabel>
#include <QVBoxLayout>

#include "base/hosts.h"
#include "base/stringtable.h"
#include "controls/qtext.h"
#include "controls/skin.h"
#include "controls/skinbutton.h"

namespace {

// One line "名称：<a>address</a>", or nothing for a service switched off.
QString LinkLine(const char* what, HostId host) {
  QString address = FromLocal(HostValue(host)).toHtmlEscaped();
  if (address.isEmpty()) return {};
  return QStringLiteral("%1：<a href=\"%2\" style=\"color:#2b7bd9;\">%2</a><br>")
      .arg(QString::fromUtf8(what), address);
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CAboutDlg"));
  QString title = LoadQString(IDS_APP_TITLE);
  setWindowTitle(LoadQString(IDS_ABOUT_MENU));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  setStyleSheet(QStringLiteral("QDialog { background: #ffffff; }"));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(28, 24, 28, 16);
  layout->setSpacing(12);

  QPixmap logo = SkinPixmap(QStringLiteral("imgs/LogoTitle.png"));
  if (!logo.isNull()) {
    auto* picture = new QLabel(this);
    picture->setPixmap(logo);
    picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);
  }
  auto* name = new QLabel(title, this);
  name->setObjectName(QStringLiteral("titleLabel"));
  name->setFont(UiFont(20, 700));
  name->setAlignment(Qt::AlignCenter);
  layout->addWidget(name);
  // The logo already carries the name.
  name->setVisible(logo.isNull());

  auto* version = new QLabel(QStringLiteral("目前版本：") + LoadQString(IDS_VERSION), this);
  version->setObjectName(QStringLiteral("versionLabel"));
  version->setFont(UiFont(13));
  version->setAlignment(Qt::AlignCenter);
  layout->addWidget(version);

  auto* about = new QLabel(
      QStringLiteral("跟踪网上商店的商品价格和库存，价格下降或库存变化时及时提醒您。"), this);
  about->setFont(UiFont(13));
  about->setWordWrap(true);
  about->setMinimumWidth(about->fontMetrics().horizontalAdvance(about->text()) + 8);
  about->setAlignment(Qt::AlignCenter);
  layout->addWidget(about);

  QString lines = LinkLine("官方网站", kHostHomePage) + LinkLine("关注我们", kHostFollow) +
                  LinkLine("在线帮助", kHostHelp);
  if (!lines.isEmpty()) {
    auto* links = new QLabel(lines, this);
    links->setObjectName(QStringLiteral("linksLabel"));
    links->setFont(UiFont(13));
    links->setTextFormat(Qt::RichText);
    links->setOpenExternalLinks(true);
    links->setAlignment(Qt::AlignCenter);
    layout->addWidget(links);
  }

  auto* ok = new CButtonST(QStringLiteral("确定"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->SetBackground(QStringLiteral("imgs/Btn1Bkg.png"), QStringLiteral("imgs/Btn1HotBkg.png"));
  ok->setFixedSize(80, 28);
  ok->setDefault(true);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
