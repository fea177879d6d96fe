#include "cli/cli_summary.h"

#include "image/hex.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace rw::cli {

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

// Offsets with two bytes: what a run wants there and what the modem held.
QJsonArray byteList(const std::vector<modem::ByteMismatch>& list, const char* modemKey) {
    QJsonArray a;
    for (const modem::ByteMismatch& m : list)
        a.append(QJsonObject{{"offset", text(image::hex(static_cast<unsigned>(m.offset), 4))},
                             {"wanted", text(image::hex(m.wanted, 2))},
                             {modemKey, text(image::hex(m.found, 2))}});
    return a;
}

QJsonValue textOrNull(const std::string& s) {
    return s.empty() ? QJsonValue() : QJsonValue(text(s));
}

QString resultOf(const RunSummary& s, int exitStatus) {
    if (exitStatus == 0) return "completed";
    const bool compared = s.report && s.report->bytesVerified > 0;
    return s.command == "verify" && compared ? "differs" : "failed";
}

} // namespace

std::string summaryJson(const RunSummary& s, int exitStatus, const std::string& failure,
                        double seconds, const std::vector<ShownMessage>& messages) {
    const modem::RunReport r = s.report.value_or(modem::RunReport{});
    QJsonObject o{{"command", text(s.command)},
                  {"result", resultOf(s, exitStatus)},
                  {"exitStatus", exitStatus},
                  {"failure", textOrNull(failure)},
                  {"product", s.product == 0 ? QJsonValue() : QJsonValue(s.product)},
                  {"port", textOrNull(s.port)},
                  {"device", textOrNull(s.device)},
                  {"interface", textOrNull(r.interfaceName)},
                  {"generation", textOrNull(r.generation)},
                  {"bytesRead", r.bytesRead},
                  {"bytesWritten", r.bytesWritten},
                  {"bytesVerified", r.bytesVerified},
                  {"failed", byteList(r.mismatches, "found")},
                  {"backup", textOrNull(r.backupPath)},
                  {"seconds", static_cast<double>(static_cast<long long>(seconds * 100)) / 100}};
    if (s.dryRun) o.insert("planned", byteList(r.planned, "modem"));
    if (!s.output.empty()) o.insert("output", text(s.output));
    QJsonArray shown;
    for (const ShownMessage& m : messages)
        shown.append(QJsonObject{
            {"title", text(m.title)}, {"text", text(m.text)}, {"detail", textOrNull(m.detail)}});
    o.insert("messages", shown);
    return QJsonDocument(o).toJson().toStdString();
}

} // namespace rw::cli
