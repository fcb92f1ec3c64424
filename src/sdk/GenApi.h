#pragma once

// Everything a user of a node map needs, in one include.

#include "sdk/GcString.h"
#include "sdk/GenericException.h"
#include "sdk/IBase.h"
#include "sdk/IBoolean.h"
#include "sdk/ICategory.h"
#include "sdk/ICommand.h"
#include "sdk/IEnumEntry.h"
#include "sdk/IEnumeration.h"
#include "sdk/IFloat.h"
#include "sdk/IInteger.h"
#include "sdk/INode.h"
#include "sdk/INodeMap.h"
#include "sdk/IRegister.h"
#include "sdk/ISelector.h"
#include "sdk/IString.h"
#include "sdk/IValue.h"
#include "sdk/NodeAccess.h"
#include "sdk/NodeTypes.h"
