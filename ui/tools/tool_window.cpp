#include "ui/tools/tool_window.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <memory>

#include "core/failure.h"
#include "formats/encoding.h"
#include "ui/form.h"

namespace zelmora::tools {

QString FromGb(std::string_view bytes) {
    const std::string utf8 = formats::MessageText(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QComboBox* MakeFrequencyListChoice(QWidget* parent, const QString& objectName) {
    auto* lists = new QComboBox(parent);
    lists->setObjectName(objectName);
    lists->addItem(QStringLiteral("jieba 词频（python3-jieba）"), QStringLiteral("jieba"));
    lists->addItem(QStringLiteral("essay 词频（rime-essay）"), QStringLiteral("essay"));
    lists->addItem(QStringLiteral("选择文件..."));
    return lists;
}

void SelectFrequencyList(QComboBox* lists, const QString& nameOrPath) {
    int index = lists->findData(nameOrPath);
    if (index < 0) {
        // A file of its own goes before "选择文件...".
        index = lists->count() - 1;
        lists->insertItem(index, QFileInfo(nameOrPath).fileName(), nameOrPath);
        lists->setItemData(index, nameOrPath, Qt::ToolTipRole);
    }
    lists->setCurrentIndex(index);
}

void ChooseFrequencyFile(QWidget* parent, QComboBox* lists) {
    const QString path = QFileDialog::getOpenFileName(parent, QStringLiteral("选择词频表（每行：词 次数）"), QString(),
                                                      QStringLiteral("词频表 (*.txt);;所有文件 (*)"));
    if (path.isEmpty()) {
        lists->setCurrentIndex(0);
        return;
    }
    SelectFrequencyList(lists, path);
}

QRect PlaceBeside(const QRect& main, QSize size, const QRect& screen) {
    size = size.boundedTo(screen.size());
    const int roomRight = screen.right() - main.right();
    const int roomLeft = main.left() - screen.left();
    int x;
    if (size.width() <= roomRight)
        x = main.right() + 1;
    else if (size.width() <= roomLeft)
        x = main.left() - size.width();
    else if (roomRight >= roomLeft)
        x = screen.right() + 1 - size.width();
    else
        x = screen.left();
    const int y = std::clamp(main.top(), screen.top(), screen.bottom() + 1 - size.height());
    return {QPoint(x, y), size};
}

std::vector<std::uint32_t> LinesOfEntries(const formats::TableDocument& doc) {
    std::vector<std::uint32_t> lines(doc.entries.size(), 0);
    for (std::size_t i = 0; i < doc.lines.size(); ++i)
        for (std::uint32_t k = 0; k < doc.lines[i].entryCount; ++k)
            lines[doc.lines[i].firstEntry + k] = static_cast<std::uint32_t>(i + 1);
    return lines;
}

ToolWindow::ToolWindow(TForm1* form, const QString& title) : QWidget(form, Qt::Window), form_(form) {
    setWindowTitle(title);
    setFont(WindowFont());
    status_ = new QLabel(this);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->setWordWrap(true);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 0);  // busy: the work has no steps to count
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(12);
    progress_->hide();
}

void ToolWindow::present() {
    if (!placed_) {
        placed_ = true;
        if (const QScreen* screen = form_->screen()) {
            // A window not shown yet has no frame: it will get one like the main window's.
            const QSize frame = form_->frameGeometry().size() - form_->size();
            const QRect at = PlaceBeside(form_->frameGeometry(), size() + frame, screen->availableGeometry());
            resize(at.size() - frame);
            move(at.topLeft());
        }
    }
    show();
    raise();
    activateWindow();
}

QString ToolWindow::statusText() const { return status_->text(); }

ToolWindow::~ToolWindow() {
    // Work can't be called off; a window closed with the program waits for it,
    // so no thread outlives what it reads.
    if (thread_) {
        thread_->disconnect(this);
        thread_->wait();
        delete thread_;
    }
}

std::string ToolWindow::sourceBytes() const { return ReadPaneText(*form_->RichEdit1); }

formats::Encoding ToolWindow::sourceEncoding() const {
    return PaneTextEncoding(*form_->RichEdit1) == TextEncoding::Gb18030 ? formats::Encoding::Gb18030
                                                                        : formats::Encoding::Gbk;
}

void ToolWindow::setStatus(const QString& text) { status_->setText(text); }

void ToolWindow::CopyText(const QString& text) { QGuiApplication::clipboard()->setText(text); }

void ToolWindow::runWork(const QString& busyText, std::function<std::function<void()>()> work) {
    if (busy_) return;
    busy_ = true;
    setWorking(true);
    setStatus(busyText);
    progress_->show();
    setCursor(Qt::WaitCursor);

    // The results and a failure's message travel from the thread in here.
    struct Outcome {
        std::function<void()> show;
        QString failure;
    };
    auto outcome = std::make_shared<Outcome>();
    QThread* thread = QThread::create([work = std::move(work), outcome] {
        try {
            outcome->show = work();
        } catch (const Failure& f) {
            outcome->failure = QString::fromUtf8(f.what());
        } catch (const std::exception& e) {
            outcome->failure = QString::fromUtf8(e.what());
        }
    });
    thread_ = thread;
    connect(thread, &QThread::finished, this, [this, thread, outcome] {
        thread->deleteLater();
        thread_ = nullptr;
        busy_ = false;
        unsetCursor();
        progress_->hide();
        setStatus(QString());
        setWorking(false);
        if (outcome->show) {
            outcome->show();
        } else {
            setStatus(outcome->failure);
            QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), FailureText(outcome->failure),
                            QMessageBox::Ok, this);
            form_->runMessageBox(box);
        }
        emit workFinished();
    });
    thread->start();
}

void LinesModel::reset(int count, Line line) {
    beginResetModel();
    count_ = count;
    line_ = std::move(line);
    endResetModel();
}

QVariant LinesModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count_) return {};
    return line_(index.row());
}

QString LinesModel::allText() const {
    QString text;
    for (int i = 0; i < count_; ++i) {
        text += line_(i);
        text += u'\n';
    }
    return text;
}

}  // namespace zelmora::tools
