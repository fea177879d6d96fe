#include "support/fake_port.h" // moved; the lead removes this forwarding header at merge
