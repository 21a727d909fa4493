// Builds the demo policy document: lays out the guide text (HTML) in pages
// with a Chinese font and writes them as a PDF. An existing output file is
// left as it is, so a real policy document put in its place is never
// replaced. The document records <epoch> (seconds since 1970, UTC) as its
// creation time rather than the time of the build, so that the same source
// gives the same file. Usage: make_policy_pdf <guide.html> <output.pdf> <epoch>
#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>
#include <cstdlib>

namespace {

// Qt's PDF writer stamps the document with the current time, as
// "/CreationDate (D:YYYYMMDDhhmmssZ)" in UTC. The stamp is replaced by the
// given time in place: the same number of bytes, so every offset in the
// file stays right.
bool StampCreationTime(const QString& file, qint64 epoch) {
  QFile pdf(file);
  if (!pdf.open(QIODevice::ReadWrite)) return false;
  QByteArray bytes = pdf.readAll();
  const QByteArray key = "/CreationDate (D:";
  const qsizetype at = bytes.indexOf(key);
  const QByteArray stamp =
      QDateTime::fromSecsSinceEpoch(epoch, Qt::UTC).toString(QStringLiteral("yyyyMMddhhmmss")).toLatin1();
  if (at < 0 || bytes.mid(at + key.size() + stamp.size(), 2) != "Z)") return false;
  bytes.replace(at + key.size(), stamp.size(), stamp);
  return pdf.seek(0) && pdf.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_policy_pdf <guide.html> <output.pdf> <epoch>\n");
    return 2;
  }
  // The font database needs a GUI application; no window is opened. Times
  // in UTC, as the stamp above expects them.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("TZ", "UTC");
  const qint64 epoch = std::strtoll(argv[3], nullptr, 10);
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
  if (!StampCreationTime(partial, epoch) || !QFile::rename(partial, target)) {
    std::fprintf(stderr, "make_policy_pdf: cannot write %s\n", argv[2]);
    QFile::remove(partial);
    return 1;
  }
  return 0;
}
