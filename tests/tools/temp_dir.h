// The tools' tests use the shared scratch folder.
#pragma once

#include "support/temp_dir.h"

namespace rw::sim::test {

using TempDir = rw::test::TempDir;

} // namespace rw::sim::test
