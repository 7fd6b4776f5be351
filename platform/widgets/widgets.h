// Everything of the toolkit-neutral widget layer.
#pragma once

#include "platform/widgets/controls.h"
#include "platform/widgets/headless.h"
#include "platform/widgets/layout.h"
#include "platform/widgets/toolkit.h"
#include "platform/widgets/widget.h"
