#pragma once
// Scenario values of the GSM modem behind the "GSMCOMMAND=" frames and the
// power commands, and the network settings the device keeps, read from the
// scenario's "modem" object.
#include <cstdint>
#include <string>


namespace ktx::sim {

struct ModemScenario {
    // SIM card: "ready", "pin" (waits for simPin), "puk" or "absent".
    std::string sim = "ready";
    std::string simPin = "1234";
    // Network registration as +CGREG reports it: 0 not searching, 1 home,
    // 2 searching, 3 denied, 4 unknown, 5 roaming.
    int registration = 1;
    bool gprsAttached = true;
    std::string contextIp = "10.64.12.7";  // address of an activated context
    // What the modem says of itself and of the SIM card (ATI, AT+CGMI,
    // AT+CGMM, AT+CGMR, AT+CGSN, AT+CIMI, AT+CCID), as a Telit GL865 does.
    std::string manufacturer = "Telit";
    std::string model = "GL865-QUAD";
    std::string revision = "16.00.152";
    std::string imei = "356938035643809";
    std::string imsi = "250011234567890";
    std::string iccid = "89701012345678901234";
    // Signal quality for AT+CSQ: rssi 0 to 31 (99 unknown), ber 0 to 7 (99).
    int rssi = 18;
    int ber = 0;
    std::string operatorName = "MTS RUS";  // AT+COPS? once registered
    // Milliseconds the modem takes; an answer slower than a frame's timeout
    // never comes back.
    int answerMs = 40;     // ordinary commands
    int startMs = 9000;    // start-up after TOGLEBUTTON
    int connectMs = 3000;  // AT#SD to CONNECT
    int dialMs = 4000;     // ATD to the call's result
    std::string callResult = "OK";  // or "BUSY", "NO ANSWER", "NO CARRIER"
    // The device command the SMS test sends; any other text is ignored.
    std::string smsCommand = "GSMSTATUS;$";
    int micBytes = 800;     // audio bytes after AT#SPCM=2,0
    int speakerBlocks = 3;  // 1023-byte pieces TEST_DYN streams before it completes

    // The settings the device keeps. Not set: an empty pin (erased storage),
    // an empty user or password ("(null)"), an empty server address
    // (255.255.255.255), port -1.
    std::string pin = "1234";
    std::string apn = "internet.korvantix.example";
    std::string apnUser = "gprs";
    std::string apnPassword = "gprs";
    std::string serverIp = "192.0.2.47";
    int serverPort = 5050;
};

}  // namespace ktx::sim
