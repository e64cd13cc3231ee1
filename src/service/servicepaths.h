#pragma once

// Paths of the payment service, appended to its base address (see serviceurl.h).
namespace ServicePath {
constexpr char Login[] = "/index.php/Pay/Payinterface/getLogin";
constexpr char Devices[] = "/index.php/Pay/Payinterface/mdevices";
constexpr char User[] = "/index.php/Pay/Pays/getuser";
constexpr char Report[] = "/index.php/Pay/Payinterface/mreport";
constexpr char WeChatPay[] = "/index.php/Pay/Payinterface/kesto";
constexpr char AliPay[] = "/index.php/Pay/Payinterface/AliPay";
constexpr char WeChatQuery[] = "/index.php/Pay/Payinterface/wxQuery";
constexpr char AliQuery[] = "/index.php/Pay/Payinterface/AliQuery";
constexpr char Orders[] = "/index.php/Pay/Payinterface/GetOrders";
constexpr char WeChatRefund[] = "/index.php/Pay/Payinterface/mrefunding";
constexpr char AliRefund[] = "/index.php/pay/Payinterface/alirefunds";
} // namespace ServicePath
