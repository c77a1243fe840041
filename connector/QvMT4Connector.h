#pragma once
/* The eleven functions that the library exports, as the terminal calls them.
 * Text arguments and results are NUL-terminated 8-bit strings in the process's ANSI code page;
 * a NULL argument stands for an absent text. Every text result is newly allocated for the call
 * and belongs to the caller (CoTaskMemAlloc on Windows, so CoTaskMemFree releases it; malloc
 * elsewhere). The booleans of ParamsRequest are 32-bit integers, nonzero meaning true. */
#include <stdint.h>

/* The terminal calls with the 32-bit stdcall convention. */
#if defined(_WIN32)
#define QV_CALL __stdcall
#else
#define QV_CALL
#endif

/* Marks a function as exported. On Windows the .def file alone names the exports, undecorated. */
#if defined(_WIN32)
#define QV_EXPORT
#else
#define QV_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

QV_EXPORT void QV_CALL QvLog(int32_t log_level, int32_t errorCode, const char* message, const char* raw_text);
QV_EXPORT char* QV_CALL QvInit(const char* qvHost, const char* qvLoginEmail, const char* qvPassword,
                               const char* qvSystemId, double qvlotMultiplier, const char* mt4ExpertVersion);
QV_EXPORT char* QV_CALL QvDeInit(void);
QV_EXPORT int32_t QV_CALL QvReadResponses(void);
QV_EXPORT char* QV_CALL QvNextResponse(void);
QV_EXPORT char* QV_CALL QvOrderOpen(const char* loginEmail, const char* password, const char* systemid,
                                    int32_t orderid, const char* symbol, int32_t cmd, double volume, double price,
                                    double stoploss, double takeprofit, const char* timeStamp,
                                    const char* mt4OrderComment);
QV_EXPORT char* QV_CALL QvOrderCancel(const char* loginEmail, const char* password, const char* systemid,
                                      int32_t orderid, const char* mt4OrderComment);
QV_EXPORT char* QV_CALL QvOrderClose(const char* loginEmail, const char* password, const char* systemid,
                                     int32_t orderid, const char* symbol, int32_t cmd, double volume,
                                     double closePrice, const char* mt4OrderComment);
QV_EXPORT char* QV_CALL QvOrderModify(const char* loginEmail, const char* password, const char* systemid,
                                      int32_t orderid, int32_t cmd, double oldPrice, double oldStoploss,
                                      double oldProfitTarget, double newPrice, double newStoploss,
                                      double newProfitTarget, const char* mt4OrderComment);
QV_EXPORT void QV_CALL QvCancelAllPendingSignals(const char* loginEmail, const char* password);
QV_EXPORT void QV_CALL ParamsRequest(const char* loginEmail, const char* password, const char* systemid,
                                     double QvLotMultiplier, int32_t RoundDownLots, int32_t Ignore_MT4Stoploss,
                                     int32_t Ignore_MT4TakeProfit, double SecondsBetweenPolling,
                                     int32_t SendOnlyMarketOrders, int32_t LockToChartSymbol,
                                     int32_t ShowMessagesAsAlerts, int32_t TurnOnDebug, const char* EA_Version);

#ifdef __cplusplus
}
#endif
