#include "app/about_form.h"

namespace rw::app {

AboutForm::AboutForm()
    : ui::Form("About", "Version Info/About box"), ModeLabel(add<ui::Label>("ModeLabel")),
      Label3(add<ui::Label>("Label3")), EEPROMversion(add<ui::Label>("EEPROMversion")),
      Label4(add<ui::Label>("Label4")), Label6(add<ui::Label>("Label6")),
      Label5(add<ui::Label>("Label5")), Label7(add<ui::Label>("Label7")),
      Picture1(add<ui::Picture>("Picture1")), Label8(add<ui::Label>("Label8")),
      LastBackup(add<ui::Label>("LastBackup")), DoneCommand(add<ui::Button>("DoneCommand")) {
    ModeLabel.setCaption("E2 software");
    ModeLabel.setBold(true);
    Label3.setCaption("EEPROM version:");
    Label4.setCaption("Hardware version:");
    Label6.setCaption("1.1");
    Label5.setCaption("VDSL-A version: ");
    Label7.setCaption("98");
    Label8.setCaption("Last backup:");
    DoneCommand.setCaption("Done");

    // Picture on the left, the version rows to its right, Done at the bottom right.
    setSize(460, 250);
    Picture1.setGeometry(16, 16, 64, 64);
    ModeLabel.setGeometry(96, 16, 348, 22);
    Label3.setGeometry(96, 56, 140, 20);
    EEPROMversion.setGeometry(240, 56, 204, 20);
    Label4.setGeometry(96, 82, 140, 20);
    Label6.setGeometry(240, 82, 204, 20);
    Label5.setGeometry(96, 108, 140, 20);
    Label7.setGeometry(240, 108, 204, 20);
    Label8.setGeometry(96, 134, 140, 20);
    LastBackup.setGeometry(96, 156, 348, 36);
    DoneCommand.setGeometry(344, 204, 100, 30);

    DoneCommand.onClick = [this] { onDoneCommand(); };
}

void AboutForm::closedByFrame() {
    hide();
    if (onUnload) onUnload();
}

} // namespace rw::app
