#include "automation/readers/biff_functions.h"

#include <iterator>

namespace tavrio::automation::readers {
namespace {

// A function whose argument count a call token must state. Macro-sheet functions count as such
// too: a worksheet formula never calls them without a count, so a fixed count is never needed.
constexpr int kVaries = -1;

struct Entry {
  std::string_view name;
  int fixed_arguments;
};

// Indexed by function number. Counts are for the worksheet forms; where the Thai functions'
// counts could not be confirmed they count as varying, so a call without a count is refused
// rather than read with a guessed one.
constexpr Entry kFunctions[] = {
    {"COUNT", kVaries},              // 0
    {"IF", kVaries},                 // 1
    {"ISNA", 1},                     // 2
    {"ISERROR", 1},                  // 3
    {"SUM", kVaries},                // 4
    {"AVERAGE", kVaries},            // 5
    {"MIN", kVaries},                // 6
    {"MAX", kVaries},                // 7
    {"ROW", kVaries},                // 8
    {"COLUMN", kVaries},             // 9
    {"NA", 0},                       // 10
    {"NPV", kVaries},                // 11
    {"STDEV", kVaries},              // 12
    {"DOLLAR", kVaries},             // 13
    {"FIXED", kVaries},              // 14
    {"SIN", 1},                      // 15
    {"COS", 1},                      // 16
    {"TAN", 1},                      // 17
    {"ATAN", 1},                     // 18
    {"PI", 0},                       // 19
    {"SQRT", 1},                     // 20
    {"EXP", 1},                      // 21
    {"LN", 1},                       // 22
    {"LOG10", 1},                    // 23
    {"ABS", 1},                      // 24
    {"INT", 1},                      // 25
    {"SIGN", 1},                     // 26
    {"ROUND", 2},                    // 27
    {"LOOKUP", kVaries},             // 28
    {"INDEX", kVaries},              // 29
    {"REPT", 2},                     // 30
    {"MID", 3},                      // 31
    {"LEN", 1},                      // 32
    {"VALUE", 1},                    // 33
    {"TRUE", 0},                     // 34
    {"FALSE", 0},                    // 35
    {"AND", kVaries},                // 36
    {"OR", kVaries},                 // 37
    {"NOT", 1},                      // 38
    {"MOD", 2},                      // 39
    {"DCOUNT", 3},                   // 40
    {"DSUM", 3},                     // 41
    {"DAVERAGE", 3},                 // 42
    {"DMIN", 3},                     // 43
    {"DMAX", 3},                     // 44
    {"DSTDEV", 3},                   // 45
    {"VAR", kVaries},                // 46
    {"DVAR", 3},                     // 47
    {"TEXT", 2},                     // 48
    {"LINEST", kVaries},             // 49
    {"TREND", kVaries},              // 50
    {"LOGEST", kVaries},             // 51
    {"GROWTH", kVaries},             // 52
    {"GOTO", kVaries},               // 53
    {"HALT", kVaries},               // 54
    {"RETURN", kVaries},             // 55
    {"PV", kVaries},                 // 56
    {"FV", kVaries},                 // 57
    {"NPER", kVaries},               // 58
    {"PMT", kVaries},                // 59
    {"RATE", kVaries},               // 60
    {"MIRR", 3},                     // 61
    {"IRR", kVaries},                // 62
    {"RAND", 0},                     // 63
    {"MATCH", kVaries},              // 64
    {"DATE", 3},                     // 65
    {"TIME", 3},                     // 66
    {"DAY", 1},                      // 67
    {"MONTH", 1},                    // 68
    {"YEAR", 1},                     // 69
    {"WEEKDAY", kVaries},            // 70
    {"HOUR", 1},                     // 71
    {"MINUTE", 1},                   // 72
    {"SECOND", 1},                   // 73
    {"NOW", 0},                      // 74
    {"AREAS", 1},                    // 75
    {"ROWS", 1},                     // 76
    {"COLUMNS", 1},                  // 77
    {"OFFSET", kVaries},             // 78
    {"ABSREF", kVaries},             // 79
    {"RELREF", kVaries},             // 80
    {"ARGUMENT", kVaries},           // 81
    {"SEARCH", kVaries},             // 82
    {"TRANSPOSE", 1},                // 83
    {"ERROR", kVaries},              // 84
    {"STEP", kVaries},               // 85
    {"TYPE", 1},                     // 86
    {"ECHO", kVaries},               // 87
    {"SET.NAME", kVaries},           // 88
    {"CALLER", kVaries},             // 89
    {"DEREF", kVaries},              // 90
    {"WINDOWS", kVaries},            // 91
    {"SERIES", kVaries},             // 92
    {"DOCUMENTS", kVaries},          // 93
    {"ACTIVE.CELL", kVaries},        // 94
    {"SELECTION", kVaries},          // 95
    {"RESULT", kVaries},             // 96
    {"ATAN2", 2},                    // 97
    {"ASIN", 1},                     // 98
    {"ACOS", 1},                     // 99
    {"CHOOSE", kVaries},             // 100
    {"HLOOKUP", kVaries},            // 101
    {"VLOOKUP", kVaries},            // 102
    {"LINKS", kVaries},              // 103
    {"INPUT", kVaries},              // 104
    {"ISREF", 1},                    // 105
    {"GET.FORMULA", kVaries},        // 106
    {"GET.NAME", kVaries},           // 107
    {"SET.VALUE", kVaries},          // 108
    {"LOG", kVaries},                // 109
    {"EXEC", kVaries},               // 110
    {"CHAR", 1},                     // 111
    {"LOWER", 1},                    // 112
    {"UPPER", 1},                    // 113
    {"PROPER", 1},                   // 114
    {"LEFT", kVaries},               // 115
    {"RIGHT", kVaries},              // 116
    {"EXACT", 2},                    // 117
    {"TRIM", 1},                     // 118
    {"REPLACE", 4},                  // 119
    {"SUBSTITUTE", kVaries},         // 120
    {"CODE", 1},                     // 121
    {"NAMES", kVaries},              // 122
    {"DIRECTORY", kVaries},          // 123
    {"FIND", kVaries},               // 124
    {"CELL", kVaries},               // 125
    {"ISERR", 1},                    // 126
    {"ISTEXT", 1},                   // 127
    {"ISNUMBER", 1},                 // 128
    {"ISBLANK", 1},                  // 129
    {"T", 1},                        // 130
    {"N", 1},                        // 131
    {"FOPEN", kVaries},              // 132
    {"FCLOSE", kVaries},             // 133
    {"FSIZE", kVaries},              // 134
    {"FREADLN", kVaries},            // 135
    {"FREAD", kVaries},              // 136
    {"FWRITELN", kVaries},           // 137
    {"FWRITE", kVaries},             // 138
    {"FPOS", kVaries},               // 139
    {"DATEVALUE", 1},                // 140
    {"TIMEVALUE", 1},                // 141
    {"SLN", 3},                      // 142
    {"SYD", 4},                      // 143
    {"DDB", kVaries},                // 144
    {"GET.DEF", kVaries},            // 145
    {"REFTEXT", kVaries},            // 146
    {"TEXTREF", kVaries},            // 147
    {"INDIRECT", kVaries},           // 148
    {"REGISTER", kVaries},           // 149
    {"CALL", kVaries},               // 150
    {"ADD.BAR", kVaries},            // 151
    {"ADD.MENU", kVaries},           // 152
    {"ADD.COMMAND", kVaries},        // 153
    {"ENABLE.COMMAND", kVaries},     // 154
    {"CHECK.COMMAND", kVaries},      // 155
    {"RENAME.COMMAND", kVaries},     // 156
    {"SHOW.BAR", kVaries},           // 157
    {"DELETE.MENU", kVaries},        // 158
    {"DELETE.COMMAND", kVaries},     // 159
    {"GET.CHART.ITEM", kVaries},     // 160
    {"DIALOG.BOX", kVaries},         // 161
    {"CLEAN", 1},                    // 162
    {"MDETERM", 1},                  // 163
    {"MINVERSE", 1},                 // 164
    {"MMULT", 2},                    // 165
    {"FILES", kVaries},              // 166
    {"IPMT", kVaries},               // 167
    {"PPMT", kVaries},               // 168
    {"COUNTA", kVaries},             // 169
    {"CANCEL.KEY", kVaries},         // 170
    {"FOR", kVaries},                // 171
    {"WHILE", kVaries},              // 172
    {"BREAK", kVaries},              // 173
    {"NEXT", kVaries},               // 174
    {"INITIATE", kVaries},           // 175
    {"REQUEST", kVaries},            // 176
    {"POKE", kVaries},               // 177
    {"EXECUTE", kVaries},            // 178
    {"TERMINATE", kVaries},          // 179
    {"RESTART", kVaries},            // 180
    {"HELP", kVaries},               // 181
    {"GET.BAR", kVaries},            // 182
    {"PRODUCT", kVaries},            // 183
    {"FACT", 1},                     // 184
    {"GET.CELL", kVaries},           // 185
    {"GET.WORKSPACE", kVaries},      // 186
    {"GET.WINDOW", kVaries},         // 187
    {"GET.DOCUMENT", kVaries},       // 188
    {"DPRODUCT", 3},                 // 189
    {"ISNONTEXT", 1},                // 190
    {"GET.NOTE", kVaries},           // 191
    {"NOTE", kVaries},               // 192
    {"STDEVP", kVaries},             // 193
    {"VARP", kVaries},               // 194
    {"DSTDEVP", 3},                  // 195
    {"DVARP", 3},                    // 196
    {"TRUNC", kVaries},              // 197
    {"ISLOGICAL", 1},                // 198
    {"DCOUNTA", 3},                  // 199
    {"DELETE.BAR", kVaries},         // 200
    {"UNREGISTER", kVaries},         // 201
    {{}, kVaries},                   // 202: unused
    {{}, kVaries},                   // 203: unused
    {"USDOLLAR", kVaries},           // 204
    {"FINDB", kVaries},              // 205
    {"SEARCHB", kVaries},            // 206
    {"REPLACEB", 4},                 // 207
    {"LEFTB", kVaries},              // 208
    {"RIGHTB", kVaries},             // 209
    {"MIDB", 3},                     // 210
    {"LENB", 1},                     // 211
    {"ROUNDUP", 2},                  // 212
    {"ROUNDDOWN", 2},                // 213
    {"ASC", 1},                      // 214
    {"DBCS", 1},                     // 215
    {"RANK", kVaries},               // 216
    {{}, kVaries},                   // 217: unused
    {{}, kVaries},                   // 218: unused
    {"ADDRESS", kVaries},            // 219
    {"DAYS360", kVaries},            // 220
    {"TODAY", 0},                    // 221
    {"VDB", kVaries},                // 222
    {"ELSE", kVaries},               // 223
    {"ELSE.IF", kVaries},            // 224
    {"END.IF", kVaries},             // 225
    {"FOR.CELL", kVaries},           // 226
    {"MEDIAN", kVaries},             // 227
    {"SUMPRODUCT", kVaries},         // 228
    {"SINH", 1},                     // 229
    {"COSH", 1},                     // 230
    {"TANH", 1},                     // 231
    {"ASINH", 1},                    // 232
    {"ACOSH", 1},                    // 233
    {"ATANH", 1},                    // 234
    {"DGET", 3},                     // 235
    {"CREATE.OBJECT", kVaries},      // 236
    {"VOLATILE", kVaries},           // 237
    {"LAST.ERROR", kVaries},         // 238
    {"CUSTOM.UNDO", kVaries},        // 239
    {"CUSTOM.REPEAT", kVaries},      // 240
    {"FORMULA.CONVERT", kVaries},    // 241
    {"GET.LINK.INFO", kVaries},      // 242
    {"TEXT.BOX", kVaries},           // 243
    {"INFO", 1},                     // 244
    {"GROUP", kVaries},              // 245
    {"GET.OBJECT", kVaries},         // 246
    {"DB", kVaries},                 // 247
    {"PAUSE", kVaries},              // 248
    {{}, kVaries},                   // 249: unused
    {{}, kVaries},                   // 250: unused
    {"RESUME", kVaries},             // 251
    {"FREQUENCY", 2},                // 252
    {"ADD.TOOLBAR", kVaries},        // 253
    {"DELETE.TOOLBAR", kVaries},     // 254
    {{}, kVaries},                   // 255: unused
    {"RESET.TOOLBAR", kVaries},      // 256
    {"EVALUATE", kVaries},           // 257
    {"GET.TOOLBAR", kVaries},        // 258
    {"GET.TOOL", kVaries},           // 259
    {"SPELLING.CHECK", kVaries},     // 260
    {"ERROR.TYPE", 1},               // 261
    {"APP.TITLE", kVaries},          // 262
    {"WINDOW.TITLE", kVaries},       // 263
    {"SAVE.TOOLBAR", kVaries},       // 264
    {"ENABLE.TOOL", kVaries},        // 265
    {"PRESS.TOOL", kVaries},         // 266
    {"REGISTER.ID", kVaries},        // 267
    {"GET.WORKBOOK", kVaries},       // 268
    {"AVEDEV", kVaries},             // 269
    {"BETADIST", kVaries},           // 270
    {"GAMMALN", 1},                  // 271
    {"BETAINV", kVaries},            // 272
    {"BINOMDIST", 4},                // 273
    {"CHIDIST", 2},                  // 274
    {"CHIINV", 2},                   // 275
    {"COMBIN", 2},                   // 276
    {"CONFIDENCE", 3},               // 277
    {"CRITBINOM", 3},                // 278
    {"EVEN", 1},                     // 279
    {"EXPONDIST", 3},                // 280
    {"FDIST", 3},                    // 281
    {"FINV", 3},                     // 282
    {"FISHER", 1},                   // 283
    {"FISHERINV", 1},                // 284
    {"FLOOR", 2},                    // 285
    {"GAMMADIST", 4},                // 286
    {"GAMMAINV", 3},                 // 287
    {"CEILING", 2},                  // 288
    {"HYPGEOMDIST", 4},              // 289
    {"LOGNORMDIST", 3},              // 290
    {"LOGINV", 3},                   // 291
    {"NEGBINOMDIST", 3},             // 292
    {"NORMDIST", 4},                 // 293
    {"NORMSDIST", 1},                // 294
    {"NORMINV", 3},                  // 295
    {"NORMSINV", 1},                 // 296
    {"STANDARDIZE", 3},              // 297
    {"ODD", 1},                      // 298
    {"PERMUT", 2},                   // 299
    {"POISSON", 3},                  // 300
    {"TDIST", 3},                    // 301
    {"WEIBULL", 4},                  // 302
    {"SUMXMY2", 2},                  // 303
    {"SUMX2MY2", 2},                 // 304
    {"SUMX2PY2", 2},                 // 305
    {"CHITEST", 2},                  // 306
    {"CORREL", 2},                   // 307
    {"COVAR", 2},                    // 308
    {"FORECAST", 3},                 // 309
    {"FTEST", 2},                    // 310
    {"INTERCEPT", 2},                // 311
    {"PEARSON", 2},                  // 312
    {"RSQ", 2},                      // 313
    {"STEYX", 2},                    // 314
    {"SLOPE", 2},                    // 315
    {"TTEST", 4},                    // 316
    {"PROB", kVaries},               // 317
    {"DEVSQ", kVaries},              // 318
    {"GEOMEAN", kVaries},            // 319
    {"HARMEAN", kVaries},            // 320
    {"SUMSQ", kVaries},              // 321
    {"KURT", kVaries},               // 322
    {"SKEW", kVaries},               // 323
    {"ZTEST", kVaries},              // 324
    {"LARGE", 2},                    // 325
    {"SMALL", 2},                    // 326
    {"QUARTILE", 2},                 // 327
    {"PERCENTILE", 2},               // 328
    {"PERCENTRANK", kVaries},        // 329
    {"MODE", kVaries},               // 330
    {"TRIMMEAN", 2},                 // 331
    {"TINV", 2},                     // 332
    {{}, kVaries},                   // 333: unused
    {"MOVIE.COMMAND", kVaries},      // 334
    {"GET.MOVIE", kVaries},          // 335
    {"CONCATENATE", kVaries},        // 336
    {"POWER", 2},                    // 337
    {"PIVOT.ADD.DATA", kVaries},     // 338
    {"GET.PIVOT.TABLE", kVaries},    // 339
    {"GET.PIVOT.FIELD", kVaries},    // 340
    {"GET.PIVOT.ITEM", kVaries},     // 341
    {"RADIANS", 1},                  // 342
    {"DEGREES", 1},                  // 343
    {"SUBTOTAL", kVaries},           // 344
    {"SUMIF", kVaries},              // 345
    {"COUNTIF", 2},                  // 346
    {"COUNTBLANK", 1},               // 347
    {"SCENARIO.GET", kVaries},       // 348
    {"OPTIONS.LISTS.GET", kVaries},  // 349
    {"ISPMT", 4},                    // 350
    {"DATEDIF", 3},                  // 351
    {"DATESTRING", 1},               // 352
    {"NUMBERSTRING", 2},             // 353
    {"ROMAN", kVaries},              // 354
    {"OPEN.DIALOG", kVaries},        // 355
    {"SAVE.DIALOG", kVaries},        // 356
    {"VIEW.GET", kVaries},           // 357
    {"GETPIVOTDATA", kVaries},       // 358
    {"HYPERLINK", kVaries},          // 359
    {"PHONETIC", 1},                 // 360
    {"AVERAGEA", kVaries},           // 361
    {"MAXA", kVaries},               // 362
    {"MINA", kVaries},               // 363
    {"STDEVPA", kVaries},            // 364
    {"VARPA", kVaries},              // 365
    {"STDEVA", kVaries},             // 366
    {"VARA", kVaries},               // 367
    {"BAHTTEXT", 1},                 // 368
    {"THAIDAYOFWEEK", kVaries},      // 369
    {"THAIDIGIT", kVaries},          // 370
    {"THAIMONTHOFYEAR", kVaries},    // 371
    {"THAINUMSOUND", kVaries},       // 372
    {"THAINUMSTRING", kVaries},      // 373
    {"THAISTRINGLENGTH", kVaries},   // 374
    {"ISTHAIDIGIT", kVaries},        // 375
    {"ROUNDBAHTDOWN", kVaries},      // 376
    {"ROUNDBAHTUP", kVaries},        // 377
    {"THAIYEAR", kVaries},           // 378
    {"RTD", kVaries},                // 379
};

}  // namespace

std::optional<BiffFunction> FindBiffFunction(std::uint16_t index) {
  if (index >= std::size(kFunctions)) return std::nullopt;
  const Entry& entry = kFunctions[index];
  if (entry.name.empty()) return std::nullopt;
  BiffFunction function{entry.name, std::nullopt};
  if (entry.fixed_arguments != kVaries) {
    function.fixed_arguments = static_cast<std::uint8_t>(entry.fixed_arguments);
  }
  return function;
}

}  // namespace tavrio::automation::readers
