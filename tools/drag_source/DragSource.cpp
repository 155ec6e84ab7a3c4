// A small window that starts dragging the files named on its command line as
// soon as the left mouse button is pressed on it. Used to try real drops on the
// Quorbin window, for example under Xvfb driven by xdotool:
//   quorbin-drag-source song.wav &   (window at 0,0, 120 x 80)
//   xdotool mousemove 60 40 mousedown 1 mousemove 400 300 mouseup 1
#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class DragSource : public QWidget {
public:
    explicit DragSource(QList<QUrl> urls) : m_urls(std::move(urls))
    {
        setWindowTitle(QStringLiteral("drag source"));
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        resize(120, 80);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(240, 200, 80));
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("drag me"));
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setUrls(m_urls);
        drag->setMimeData(mime);
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::printf("drop %s\n", action == Qt::IgnoreAction ? "refused" : "accepted");
        std::fflush(stdout);
    }

private:
    QList<QUrl> m_urls;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QList<QUrl> urls;
    for (const QString& argument : application.arguments().mid(1))
        urls << (argument.contains(QStringLiteral("://"))
                     ? QUrl(argument)
                     : QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath()));
    if (urls.isEmpty()) {
        std::fprintf(stderr, "usage: quorbin-drag-source FILE|URL...\n");
        return 64;
    }
    DragSource source(urls);
    source.move(0, 0);
    source.show();
    return application.exec();
}
