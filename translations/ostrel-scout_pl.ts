<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pl_PL" sourcelanguage="en">
<context>
    <name>MainWindow</name>
    <message>
        <source>Ostrel Scout</source>
        <translation>Ostrel Scout</translation>
    </message>
    <message>
        <source>MainWindow</source>
        <extracomment>A placeholder title, replaced before the window is shown. Keep it as it is.</extracomment>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>Numer seryjny</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Odśwież</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Połącz</translation>
    </message>
    <message>
        <source>Devices</source>
        <translation>Urządzenia</translation>
    </message>
    <message>
        <source>The Ostrel devices that answered the search, one a row: serial number, IP address and MAC address.</source>
        <translation>Urządzenia Ostrel, które odpowiedziały na wyszukiwanie, po jednym w wierszu: numer seryjny, adres IP i adres MAC.</translation>
    </message>
    <message>
        <source>Searches the network for devices again.</source>
        <translation>Ponownie wyszukuje urządzenia w sieci.</translation>
    </message>
    <message>
        <source>Opens the web interface of the selected device in the browser.</source>
        <translation>Otwiera interfejs WWW wybranego urządzenia w przeglądarce.</translation>
    </message>
    <message>
        <source>Ostrel Scout logo</source>
        <translation>Logo Ostrel Scout</translation>
    </message>
    <message>
        <source>A device answering a search.</source>
        <translation>Urządzenie odpowiadające na wyszukiwanie.</translation>
    </message>
</context>
<context>
    <name>UpdateWindow</name>
    <message>
        <source>Ostrel Scout Update</source>
        <translation>Aktualizacja Ostrel Scout</translation>
    </message>
    <message>
        <source>Update now</source>
        <translation>Aktualizuj</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Anuluj</translation>
    </message>
    <message>
        <source>Ostrel Scout v%1 is now available.</source>
        <extracomment>%1 is the offered version, shown as the update server names it, e.g. 2.1.</extracomment>
        <translation>Ostrel Scout w wersji %1 jest już dostępny.</translation>
    </message>
</context>
</TS>
