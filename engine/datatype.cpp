#include "engine/datatype.h"

namespace engine {

std::string GetDatatypeName(int16_t code) {
  switch (code) {
    case 0: return "adEmpty";
    case 2: return "adSmallInt";
    case 3: return "adInteger";
    case 4: return "adSingle";
    case 5: return "adDouble";
    case 6: return "adCurrency";
    case 7: return "adDate";
    case 8: return "adBSTR";
    case 9: return "adIDispatch";
    case 10: return "adError";
    case 11: return "adBoolean";
    case 12: return "adVariant";
    case 13: return "adIUnknown";
    case 14: return "adDecimal";
    case 16: return "adTinyInt";
    case 17: return "adUnsignedTinyInt";
    case 18: return "adUnsignedSmallInt";
    case 19: return "adUnsignedInt";
    case 20: return "adBigInt";
    case 21: return "adUnsignedBigInt";
    case 64: return "adFileTime";
    case 72: return "adGUID";
    case 128: return "adBinary";
    case 129: return "adChar";
    case 130: return "adWChar";
    case 131: return "adNumeric";
    case 132: return "adUserDefined";
    case 133: return "adDBDate";
    case 134: return "adDBTime";
    case 135: return "adDBTimeStamp";
    case 136: return "adChapter";
    case 138: return "adPropVariant";
    case 139: return "adVarNumeric";
    case 200: return "adVarChar";
    case 201: return "adLongVarChar";
    case 202: return "adVarWChar";
    case 203: return "adLongVarWChar";
    case 204: return "adVarBinary";
    case 205: return "adLongVarBinary";
    default: return {};
  }
}

}  // namespace engine
