#include "cli/cli_summary.h"

#include "image/hex.h"
#include "modem/run_log.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace rw::cli {

namespace {

using modem::textOrNull;

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

QString resultOf(const RunSummary& s, int exitStatus) {
    if (exitStatus == 0) return "completed";
    const bool compared = s.report && s.report->bytesVerified > 0;
    return s.command == "verify" && compared ? "differs" : "failed";
}

QJsonValue roundedSeconds(double seconds) {
    return static_cast<double>(static_cast<long long>(seconds * 100)) / 100;
}

// A cell of a table: the text or whole number, "-" for none.
std::string cell(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isString()) return v.toString().toStdString();
    if (v.isDouble()) return std::to_string(static_cast<long long>(v.toDouble()));
    return "-";
}

std::string secondsCell(const QJsonObject& o) {
    const QJsonValue v = o.value("seconds");
    if (!v.isDouble()) return "-";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v.toDouble());
    return buf;
}

// A dry run's bytes or a verify's differences: "PORT OFFSET MODEM -> WANTED" and a count.
std::string listedBytes(const QJsonObject& run) {
    const bool planned = run.contains("planned");
    if (!planned && cell(run, "result") != "differs") return {};
    const QJsonArray list = run.value(planned ? "planned" : "failed").toArray();
    const std::string port = printable(cell(run, "port"));
    const QString modemKey = planned ? "modem" : "found";
    std::string text;
    for (const QJsonValue& v : list) {
        const QJsonObject b = v.toObject();
        text += port + ' ' + b.value("offset").toString().toStdString() + ' ' +
                b.value(modemKey).toString().toStdString() + " -> " +
                b.value("wanted").toString().toStdString() + '\n';
    }
    return text + port + ": " + std::to_string(list.size()) +
           (list.size() == 1 ? " byte " : " bytes ") +
           (planned ? "would be written.\n" : "differ.\n");
}

} // namespace

std::string severalRunsText(const std::vector<QJsonObject>& runs) {
    std::vector<std::vector<std::string>> rows = {{"PORT", "DEVICE", "INTERFACE", "GEN", "RESULT",
                                                   "WRITTEN", "VERIFIED", "SECONDS", "BACKUP"}};
    for (const QJsonObject& r : runs)
        rows.push_back({cell(r, "port"), cell(r, "device"), cell(r, "interface"),
                        cell(r, "generation"), cell(r, "result"), cell(r, "bytesWritten"),
                        cell(r, "bytesVerified"), secondsCell(r), cell(r, "backup")});
    std::string text = formatTable(rows, {5, 6, 7});
    for (const QJsonObject& r : runs)
        if (cell(r, "result") != "completed")
            text += printable(cell(r, "port") + ": " + cell(r, "failure")) + '\n';
    for (const QJsonObject& r : runs)
        text += listedBytes(r);
    return text;
}

std::string severalRunsJson(const std::string& command, int exitStatus, double seconds,
                            const std::vector<QJsonObject>& runs, const std::string& failure) {
    QJsonArray list;
    for (const QJsonObject& r : runs)
        list.append(r);
    const QJsonObject o{
        {"command", text(command)},           {"result", exitStatus == 0 ? "completed" : "failed"},
        {"exitStatus", exitStatus},           {"failure", textOrNull(failure)},
        {"seconds", roundedSeconds(seconds)}, {"runs", list}};
    return QJsonDocument(o).toJson().toStdString();
}

std::string runLogTable(const std::vector<QJsonObject>& entries) {
    std::vector<std::vector<std::string>> rows = {
        {"TIME", "COMMAND", "PORT", "RESULT", "WRITTEN", "SECONDS", "PATCH FILE", "IMAGE AFTER"}};
    for (const QJsonObject& e : entries) {
        std::string time = cell(e, "time").substr(0, 19);
        if (time.size() > 10 && time[10] == 'T') time[10] = ' ';
        std::string patch = cell(e, "patchFile");
        patch = patch.substr(patch.find_last_of("/\\") + 1);
        rows.push_back({time, cell(e, "command"), cell(e, "port"), cell(e, "result"),
                        cell(e, "bytesWritten"), secondsCell(e), patch,
                        cell(e, "imageAfter").substr(0, 12)});
    }
    return formatTable(rows, {4, 5});
}

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
                  {"seconds", roundedSeconds(seconds)}};
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
