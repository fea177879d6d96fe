#include "cli/cli_events.h"

#include "modem/programming_run.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <optional>

namespace rw::cli {

namespace {

using modem::RunPhase;

constexpr RunPhase kPhases[] = {RunPhase::Connect, RunPhase::Identify, RunPhase::Invalidate,
                                RunPhase::Read,    RunPhase::Backup,   RunPhase::Write,
                                RunPhase::Verify,  RunPhase::Validate};

QString phaseText(RunPhase phase) {
    return QString::fromLatin1(modem::phaseName(phase));
}

std::optional<RunPhase> phaseOf(const QJsonValue& v) {
    for (RunPhase p : kPhases)
        if (v.toString() == phaseText(p)) return p;
    return std::nullopt;
}

std::string textOf(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString().toStdString();
}

// A run event to the observer; false when the line is none.
bool replay(const QString& name, const QJsonObject& o, modem::RunObserver& observer) {
    const auto phase = phaseOf(o.value("phase"));
    const int number = o.value("n").toInt(-1);
    if (name == "phase" && phase) {
        observer.phaseStarted(*phase, o.value("working").toBool());
    } else if (name == "identified") {
        observer.modemIdentified(textOf(o, "interface"), textOf(o, "generation"));
    } else if (name == "block" && phase) {
        observer.blockDone(*phase, number);
    } else if (name == "planned") {
        observer.bytesPlanned(number);
    } else if (name == "check") {
        std::vector<int> blocks;
        for (const QJsonValue& b : o.value("blocks").toArray())
            blocks.push_back(b.toInt(-1));
        observer.checkPlanned(blocks);
    } else if (name == "written") {
        observer.byteWritten(number);
    } else if (name == "ended") {
        observer.progressEnded();
    } else if (name == "finished") {
        observer.finished(modem::RunReport{});
    } else {
        return false;
    }
    return true;
}

} // namespace

void EventWriter::write(const QJsonObject& event) {
    // One line each, flushed: the parent shows it as it comes.
    err_ << QJsonDocument(event).toJson(QJsonDocument::Compact).toStdString() << '\n';
    err_.flush();
}

void EventWriter::phaseStarted(RunPhase phase, bool working) {
    write({{"event", "phase"}, {"phase", phaseText(phase)}, {"working", working}});
}

void EventWriter::modemIdentified(const std::string& interfaceName, const std::string& generation) {
    write({{"event", "identified"},
           {"interface", QString::fromStdString(interfaceName)},
           {"generation", QString::fromStdString(generation)}});
}

void EventWriter::blockDone(RunPhase phase, int block) {
    write({{"event", "block"}, {"phase", phaseText(phase)}, {"n", block}});
}

void EventWriter::bytesPlanned(int count) {
    write({{"event", "planned"}, {"n", count}});
}

void EventWriter::checkPlanned(const std::vector<int>& blocks) {
    QJsonArray list;
    for (int b : blocks)
        list.append(b);
    write({{"event", "check"}, {"blocks", list}});
}

void EventWriter::byteWritten(int offset) {
    write({{"event", "written"}, {"n", offset}});
}

void EventWriter::progressEnded() {
    write({{"event", "ended"}});
}

void EventWriter::finished(const modem::RunReport& /*report*/) {
    write({{"event", "finished"}});
}

ChildLine readChildLine(const std::string& line, modem::RunObserver& observer) {
    ChildLine r;
    r.text = line;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return r;
    const QJsonObject o = doc.object();
    const QString name = o.value("event").toString();
    if (name == "message") {
        r.kind = ChildLine::Kind::Message;
        r.message = {textOf(o, "title"), textOf(o, "text"), textOf(o, "detail")};
    } else if (name == "note") {
        r.kind = ChildLine::Kind::Note;
        r.text = textOf(o, "text");
    } else if (replay(name, o, observer)) {
        r.kind = ChildLine::Kind::Event;
    }
    return r;
}

} // namespace rw::cli
