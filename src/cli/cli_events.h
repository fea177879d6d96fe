// A run's events as JSON lines, between the romwright-cli that runs several ports and the
// romwright-cli it starts for each (--event-lines): the child writes every observer event
// on stderr, the parent feeds them back into that port's progress line.
#pragma once

#include "cli/cli_output.h"
#include "modem/run_observer.h"

#include <ostream>
#include <string>

class QJsonObject;

namespace rw::cli {

// {"event":"phase","phase":"Read","working":true}, {"event":"written","offset":291}, ...
class EventWriter : public modem::RunObserver {
public:
    explicit EventWriter(std::ostream& err) : err_(err) {}

    void phaseStarted(modem::RunPhase phase, bool working) override;
    void modemIdentified(const std::string& interfaceName, const std::string& generation) override;
    void blockDone(modem::RunPhase phase, int block) override;
    void bytesPlanned(int count) override;
    void checkPlanned(const std::vector<int>& blocks) override;
    void byteWritten(int offset) override;
    void progressEnded() override;
    void finished(const modem::RunReport& report) override;

private:
    void write(const QJsonObject& event);
    std::ostream& err_;
};

// One line of a child's stderr, read back.
struct ChildLine {
    enum class Kind {
        Event,   // a run event: given to the observer
        Message, // a message box
        Note,    // a line of the command line's own ("romwright-cli: ...")
        Other,   // anything else the child printed, as it came
    };
    Kind kind = Kind::Other;
    ShownMessage message;
    std::string text;
};

ChildLine readChildLine(const std::string& line, modem::RunObserver& observer);

} // namespace rw::cli
