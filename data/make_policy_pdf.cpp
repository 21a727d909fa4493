// Builds the demo policy document: lays out the guide text (HTML) in pages
// with a Chinese font and writes them as a PDF. An existing output file is
// left as it is, so a real policy document put in its place is never
// replaced. Usage: make_policy_pdf <guide.html> <output.pdf>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_policy_pdf <guide.html> <output.pdf>\n");
    return 2;
  }
  // The font database needs a GUI application; no window is opened.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString source = QString::fromLocal8Bit(argv[1]);
  const QString target = QString::fromLocal8Bit(argv[2]);
  if (QFileInfo::exists(target)) return 0;

  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "make_policy_pdf: cannot read %s\n", argv[1]);
    return 1;
  }
  const QString html = QString::fromUtf8(in.readAll());

  // Written beside the target first, then renamed: an interrupted build
  // leaves no half-written document behind.
  const QString partial = target + QStringLiteral(".partial");
  {
    QPdfWriter writer(partial);
    writer.setTitle(QStringLiteral(u"政策文件"));
    writer.setCreator(QStringLiteral("Zelvoran"));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter));
    QTextDocument document;
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSize(11);
    document.setDefaultFont(font);
    document.setHtml(html);
    document.print(&writer);
  }
  if (!QFile::rename(partial, target)) {
    std::fprintf(stderr, "make_policy_pdf: cannot write %s\n", argv[2]);
    QFile::remove(partial);
    return 1;
  }
  return 0;
}
