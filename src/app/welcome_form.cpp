#include "app/welcome_form.h"

#include "app/run_state.h"

namespace rw::app {

WelcomeForm::WelcomeForm()
    : ui::Form("WelcomeForm", "Romwright"), Label1(add<ui::Label>("Label1")),
      Label2(add<ui::Label>("Label2")), InterfaceOption(add<ui::ComboBox>("InterfaceOption")),
      Continue(add<ui::Button>("Continue")) {
    Label1.setCaption("Welcome to Romwright");
    Label1.setBold(true);
    Label2.setCaption("Please select the product :");
    // The list order is the designed one, not the order of currentMode.
    InterfaceOption.setItems(
        {"KRB22812  V2.1", "KRX22822  V1.2", "KRX22812  V2.2", "KRX22822  V2.2"});
    Continue.setCaption("Continue");

    setSize(380, 190);
    Label1.setGeometry(20, 16, 340, 26);
    Label2.setGeometry(20, 56, 340, 20);
    InterfaceOption.setGeometry(20, 80, 340, 26);
    Continue.setGeometry(250, 138, 110, 32);

    Continue.onClick = [this] { onContinueClick(); };
}

bool WelcomeForm::onLoad(const std::string& commandLine) {
    InterfaceOption.setListIndex(InterfaceOption.findItem(kPreselectedProduct));
    commandLineText = commandLine;
    const int mode = modeFromCommandLine(commandLine);
    if (mode == 0) {
        show();
        return false;
    }
    currentMode = mode;
    patchLoadMode = true;
    if (onShowMain) onShowMain();
    return true;
}

void WelcomeForm::onContinueClick() {
    // Exact comparison, the two blanks included.
    for (const auto& p : image::kProducts)
        if (InterfaceOption.text() == p.productCode) currentMode = p.mode;
    hide();
    patchLoadMode = false;
    if (onShowMain) onShowMain();
}

} // namespace rw::app
