#pragma once

// Everything a user of a node map needs, in one include.

#include "sdk/genapi/GcString.h"
#include "sdk/genapi/GenericException.h"
#include "sdk/genapi/IBase.h"
#include "sdk/genapi/IBoolean.h"
#include "sdk/genapi/ICategory.h"
#include "sdk/genapi/ICommand.h"
#include "sdk/genapi/IEnumEntry.h"
#include "sdk/genapi/IEnumeration.h"
#include "sdk/genapi/IFloat.h"
#include "sdk/genapi/IInteger.h"
#include "sdk/genapi/INode.h"
#include "sdk/genapi/INodeMap.h"
#include "sdk/genapi/IRegister.h"
#include "sdk/genapi/ISelector.h"
#include "sdk/genapi/IString.h"
#include "sdk/genapi/IValue.h"
#include "sdk/genapi/NodeAccess.h"
#include "sdk/genapi/NodeTypes.h"
