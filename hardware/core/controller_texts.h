// The texts the controller and the modem supervision show and log, in the
// program's single-byte code page. Formats take one number at most ("%0ld"
// or "%0d", filled from a long).
#pragma once

#include <string>

namespace mrwd {

struct ControllerTexts {
    // Controller status.
    std::string off;                 // " Контроллер выключен"
    std::string searchWait;          // "Поиск контроллера. Пожалуйста подождите..."
    std::string foundIdle;           // "... № %0ld (выключен)"
    std::string searching;           // " Поиск контроллера..."
    std::string working;             // "... № %0ld"
    std::string dead;                // "Контроллер не подключен или не работает!"
    std::string notFoundOnPort;      // "Контроллер не найден на COM-порте"
    std::string numberSign;          // " № "
    std::string notFoundOnFreePorts; // "Контроллер не найден на свободных COM-портах"
    std::string freePortsOpen;       // " (№ "
    std::string noFreePorts;         // "(не найдены)"
    // Controller log lines.
    std::string started;             // "... запущен на COM%0d!"
    std::string startFailed;         // "Ошибка запуска контроллера перезагрузки!"
    // Modem status and log lines.
    std::string modemControlOff;     // "Контроль модема отключён."
    std::string modemPortNotSet;     // "Не задан порт модема!"
    std::string modemPortWrong;      // "Не верно задан порт модема!"
    std::string modemPortBusy;       // "СОМ-порт № %0ld занят."
    std::string modemDead;           // "Модем не подключен или не работает!"
    std::string modemWorks;          // "Модем работает на СОМ-порте № %0ld."
    std::string modemChecking;       // "Проверка модема..."
    std::string modemHangReset;      // "Обнаружено зависание модема. Сброс!"
    std::string modemResetDone;      // "Сброс модема произведён успешно."
    std::string modemResetFailed;    // "Возникла ошибка при сбросе модема!"
    std::string modemForcedReset;    // "Принудительный сброс модема..."
    std::string modemResetRefused;   // a forced reset asked for too soon after the last one
};

// A text with its one number filled in.
std::string FormatWithNumber(const std::string& format, long number);

}  // namespace mrwd
