#include "app/media_detail_dialog.h"

#include <QButtonGroup>
#include <QClipboard>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/app_icon.h"
#include "app/qt_text.h"
#include "media/media_query.h"
#include "platform/file_system.h"

namespace torvane::app {
namespace {

// The levels as "lastdetail" stores them, with their radio buttons.
constexpr int kSimple = 1;
constexpr int kNormal = 2;
constexpr int kDetailed = 3;

const std::string& reportOf(const MediaSummary& summary, int level) {
    switch (level) {
        case kSimple:
            return summary.informSummary;
        case kDetailed:
            return summary.informComplete;
        default:
            return summary.informNormal;
    }
}

// "1", "2" or "3"; anything else (also "02" or "2 ") selects no level.
int levelFromText(const std::string& text) {
    if (text == "1") return kSimple;
    if (text == "2") return kNormal;
    if (text == "3") return kDetailed;
    return 0;
}

}  // namespace

QString cutReport(const QString& text, qsizetype maxChars) {
    if (text.size() <= maxChars) return text;
    qsizetype end = maxChars;
    if (end > 0 && text.at(end - 1).isHighSurrogate()) --end;
    return text.left(end);
}

MediaDetailDialog::MediaDetailDialog(MediaInfoLibrary& library, const OptionStore& options, MediaSummary& kept,
                                     const std::string& path, QWidget* parent)
    : QDialog(parent), options_(options), kept_(kept) {
    setWindowTitle(QStringLiteral("상세정보"));
    setWindowIcon(appIcon());
    setModal(true);
    resize(680, 520);

    report_ = new QPlainTextEdit;
    report_->setObjectName(QStringLiteral("report"));
    report_->setReadOnly(true);
    report_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // MediaInfo lines its values up in columns, which only a fixed-pitch font keeps.
    report_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    report_->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* levelBox = new QGroupBox(QStringLiteral("보기방법"));
    auto* levelLayout = new QHBoxLayout(levelBox);
    levels_ = new QButtonGroup(this);
    const std::array<std::pair<int, QString>, 3> levelNames = {
        {{kSimple, QStringLiteral("간단")}, {kNormal, QStringLiteral("보통")}, {kDetailed, QStringLiteral("상세")}}};
    for (const auto& [level, name] : levelNames) {
        auto* radio = new QRadioButton(name);
        radio->setObjectName(QStringLiteral("level%1").arg(level));
        levels_->addButton(radio, level);
        levelLayout->addWidget(radio);
    }

    auto* copy = new QPushButton(QStringLiteral("내용복사"));
    copy->setObjectName(QStringLiteral("copy"));
    auto* close = new QPushButton(QStringLiteral("닫 기"));
    close->setObjectName(QStringLiteral("close"));
    close->setDefault(true);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(levelBox);
    bottom->addStretch();
    bottom->addWidget(copy);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(report_, 1);
    layout->addLayout(bottom);

    connect(levels_, &QButtonGroup::idClicked, this, &MediaDetailDialog::showLevel);
    connect(copy, &QPushButton::clicked, this, &MediaDetailDialog::copyReport);
    connect(close, &QPushButton::clicked, this, [this] { done(kClosedResult); });

    // A missing file leaves the previous file's reports in place.
    if (isFileNotFolder(path)) queryMediaSummary(library, path, kept);

    const int level = levelFromText(options_.getOption("lastdetail", "2"));
    if (level != 0) {
        levels_->button(level)->setChecked(true);
        showLevel(level);
    }
}

void MediaDetailDialog::showLevel(int level) {
    report_->setPlainText(toQt(reportOf(kept_, level)));
}

void MediaDetailDialog::copyReport() {
    const QString text = cutReport(report_->toPlainText(), kMaxCopiedReportChars);
    if (text.isEmpty()) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return;
    clipboard->setText(text);
    QMessageBox::information(this, QStringLiteral("안내"), QStringLiteral("미디어파일 상세정보를 복사하였습니다."));
}

void MediaDetailDialog::storeLevel() {
    const int level = levels_->checkedId();
    if (level >= kSimple && level <= kDetailed) options_.setOption("lastdetail", std::to_string(level));
}

void MediaDetailDialog::done(int result) {
    storeLevel();
    QDialog::done(result);
}

void MediaDetailDialog::reject() {
    done(kClosedResult);
}

}  // namespace torvane::app
