<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pl_PL" sourcelanguage="en">
<context>
    <name>AddressMarks</name>
    <message>
        <source>Found by searching %1, through %2 on %3</source>
        <translation>Znalezione w zakresie %1, z adresu %2 na %3</translation>
    </message>
    <message>
        <source>Answered on %1 (%2/%3)</source>
        <translation>Urządzenie odpowiedziało przez %1 (%2/%3)</translation>
    </message>
    <message>
        <source>Its address %1 lies outside that network: a browser on this computer will probably not reach it.</source>
        <translation>Jego adres %1 leży poza tą siecią: przeglądarka na tym komputerze zapewne się z nim nie połączy.</translation>
    </message>
    <message>
        <source>Give the device an address in %1, or give this computer an address in the device&apos;s network.</source>
        <translation>Nadaj urządzeniu adres w sieci %1 albo temu komputerowi adres w sieci urządzenia.</translation>
    </message>
    <message>
        <source>Another listed device answers from %1 too: Connect can reach only one of them.</source>
        <translation>Inne urządzenie z listy też odpowiada z adresu %1: „Połącz” otworzy tylko jedno z nich.</translation>
    </message>
    <message>
        <source>Give each device an address of its own.</source>
        <translation>Nadaj każdemu urządzeniu osobny adres.</translation>
    </message>
</context>
<context>
    <name>AddressOpener</name>
    <message>
        <source>Open in browser</source>
        <translation>Otwórz w przeglądarce</translation>
    </message>
    <message>
        <source>The browser could not be opened for %1.</source>
        <translation>Nie udało się otworzyć przeglądarki dla %1.</translation>
    </message>
    <message>
        <source>This desktop has no browser set for web addresses. Copy the address and paste it into a browser&apos;s address bar.</source>
        <translation>Ten pulpit nie ma przeglądarki ustawionej dla adresów internetowych. Skopiuj adres i wklej go w pasek adresu przeglądarki.</translation>
    </message>
    <message>
        <source>Copy address</source>
        <translation>Kopiuj adres</translation>
    </message>
</context>
<context>
    <name>AddressRanges</name>
    <message>
        <source>the broadcast address</source>
        <translation>adres rozgłoszeniowy</translation>
    </message>
    <message>
        <source>not an IPv4 address</source>
        <translation>to nie jest adres IPv4</translation>
    </message>
    <message>
        <source>the prefix length after / must be 0 to 32</source>
        <translation>długość prefiksu po / musi wynosić od 0 do 32</translation>
    </message>
    <message>
        <source>the end after - is not an IPv4 address or a number from 0 to 255</source>
        <translation>koniec po - nie jest adresem IPv4 ani liczbą od 0 do 255</translation>
    </message>
    <message>
        <source>the end comes before the start</source>
        <translation>koniec wypada przed początkiem</translation>
    </message>
    <message>
        <source>%1 addresses, more than %2 in one search</source>
        <translation>liczba adresów: %1, więcej niż %2 w jednym wyszukiwaniu</translation>
    </message>
    <message>
        <source>%1 addresses with the ranges before it, more than %2 in one search</source>
        <translation>liczba adresów razem z wcześniejszymi zakresami: %1, więcej niż %2 w jednym wyszukiwaniu</translation>
    </message>
    <message>
        <source>overlaps %1</source>
        <translation>nakłada się na %1</translation>
    </message>
    <message>
        <source>a reserved address (240.0.0.0/4)</source>
        <translation>adres zarezerwowany (240.0.0.0/4)</translation>
    </message>
    <message>
        <source>holds reserved addresses (240.0.0.0/4)</source>
        <translation>zawiera adresy zarezerwowane (240.0.0.0/4)</translation>
    </message>
    <message>
        <source>a multicast address (224.0.0.0/4)</source>
        <translation>adres multicast (224.0.0.0/4)</translation>
    </message>
    <message>
        <source>holds multicast addresses (224.0.0.0/4)</source>
        <translation>zawiera adresy multicast (224.0.0.0/4)</translation>
    </message>
    <message>
        <source>a loopback address (127.0.0.0/8)</source>
        <translation>adres pętli zwrotnej (127.0.0.0/8)</translation>
    </message>
    <message>
        <source>holds loopback addresses (127.0.0.0/8)</source>
        <translation>zawiera adresy pętli zwrotnej (127.0.0.0/8)</translation>
    </message>
    <message>
        <source>not a device&apos;s address (0.0.0.0/8)</source>
        <translation>to nie jest adres urządzenia (0.0.0.0/8)</translation>
    </message>
    <message>
        <source>holds addresses of 0.0.0.0/8, which are no device&apos;s</source>
        <translation>zawiera adresy z 0.0.0.0/8, których nie ma żadne urządzenie</translation>
    </message>
    <message>
        <source>&quot;%1&quot; does not separate ranges: use commas or spaces</source>
        <translation>„%1” nie rozdziela zakresów: użyj przecinków lub spacji</translation>
    </message>
    <message>
        <source>the broadcast address of the network %1 on %2</source>
        <translation>adres rozgłoszeniowy sieci %1 na %2</translation>
    </message>
</context>
<context>
    <name>DeviceList</name>
    <message>
        <source>line %1: %2</source>
        <translation>wiersz %1: %2</translation>
    </message>
    <message>
        <source>no serial number</source>
        <translation>brak numeru seryjnego</translation>
    </message>
    <message>
        <source>the serial number &quot;%1&quot; is not 10 characters</source>
        <translation>numer seryjny „%1” nie ma 10 znaków</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not an IPv4 address</source>
        <translation>„%1” nie jest adresem IPv4</translation>
    </message>
    <message>
        <source>%1 is listed already, on line %2</source>
        <translation>%1 jest już na liście, w wierszu %2</translation>
    </message>
    <message>
        <source>text after the closing quote of a field</source>
        <translation>tekst po cudzysłowie zamykającym pole</translation>
    </message>
    <message>
        <source>a quote inside an unquoted field</source>
        <translation>cudzysłów wewnątrz pola bez cudzysłowów</translation>
    </message>
    <message>
        <source>a quoted field is not closed</source>
        <translation>pole w cudzysłowie nie jest zamknięte</translation>
    </message>
    <message>
        <source>not a list of devices: the first line does not name the columns serial number, IP and MAC</source>
        <translation>to nie jest lista urządzeń: pierwszy wiersz nie nazywa kolumn numeru seryjnego, IP i MAC</translation>
    </message>
    <message>
        <source>%1 fields where the header has %2</source>
        <translation>liczba pól: %1, a w nagłówku: %2</translation>
    </message>
    <message>
        <source>not a JSON object</source>
        <translation>to nie jest obiekt JSON</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a text</source>
        <translation>„%1” nie jest tekstem</translation>
    </message>
    <message>
        <source>not valid JSON: %1</source>
        <translation>niepoprawny JSON: %1</translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation>plik jest pusty</translation>
    </message>
</context>
<context>
    <name>ListSaver</name>
    <message>
        <source>The list could not be saved as %1:
%2</source>
        <translation>Nie udało się zapisać listy jako %1:
%2</translation>
    </message>
    <message>
        <source>Save list as CSV</source>
        <translation>Zapisz listę jako CSV</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Pliki CSV (*.csv)</translation>
    </message>
    <message>
        <source>Only part of the list could be written; the disk may be full.</source>
        <translation>Zapisano tylko część listy; dysk może być pełny.</translation>
    </message>
    <message>
        <source>%1 already exists.
Do you want to replace it?</source>
        <translation>%1 już istnieje.
Czy chcesz go zastąpić?</translation>
    </message>
</context>
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
    <message>
        <source>Stop</source>
        <translation>Zatrzymaj</translation>
    </message>
    <message>
        <source>Stops asking the addresses of other networks; the devices found stay listed, and Refresh asks them all again.</source>
        <translation>Przestaje odpytywać adresy innych sieci; znalezione urządzenia zostają na liście, a Odśwież odpyta wszystkie od nowa.</translation>
    </message>
</context>
<context>
    <name>RangeDialog</name>
    <message>
        <source>Search other networks</source>
        <translation>Przeszukaj inne sieci</translation>
    </message>
    <message>
        <source>Devices behind a router do not hear the search. Give their addresses, and each of them is asked directly:</source>
        <translation>Urządzenia za routerem nie słyszą wyszukiwania. Podaj ich adresy, a każde z nich zostanie zapytane bezpośrednio:</translation>
    </message>
    <message>
        <source>for example 10.2.0.0/24, 10.3.0.10-99</source>
        <translation>na przykład 10.2.0.0/24, 10.3.0.10-99</translation>
    </message>
    <message>
        <source>Addresses to search</source>
        <translation>Adresy do przeszukania</translation>
    </message>
    <message>
        <source>Problem with the addresses</source>
        <translation>Problem z adresami</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Szukaj</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Wyczyść</translation>
    </message>
    <message>
        <source>Search only this computer&apos;s own networks again</source>
        <translation>Znów przeszukuj tylko sieci tego komputera</translation>
    </message>
    <message>
        <source>Asking %1 addresses takes about %2 seconds at %3 requests a second.</source>
        <translation>Adresów do odpytania: %1; potrwa to około %2 s przy %3 zapytań na sekundę.</translation>
    </message>
    <message>
        <source>Asking %1 addresses takes about %2 minutes at %3 requests a second.</source>
        <translation>Adresów do odpytania: %1; potrwa to około %2 min przy %3 zapytań na sekundę.</translation>
    </message>
</context>
<context>
    <name>SearchStatus</name>
    <message>
        <source>Another program holds UDP port 44444 on every address of this computer (perhaps Ostrel Scout is already open), so no request was sent. Close that program and press Refresh.</source>
        <translation>Inny program zajmuje port UDP 44444 na każdym adresie tego komputera (być może Ostrel Scout jest już otwarty), więc nie wysłano zapytania. Zamknij ten program i naciśnij Odśwież.</translation>
    </message>
    <message>
        <source>No address of this computer could be used for the search:</source>
        <translation>Żadnego adresu tego komputera nie dało się użyć do wyszukiwania:</translation>
    </message>
    <message>
        <source>The search went on without these addresses:</source>
        <translation>Wyszukiwanie odbyło się bez tych adresów:</translation>
    </message>
    <message>
        <source>This computer has no network connection, only its own loopback address: connect it to the devices&apos; network.</source>
        <translation>Ten komputer nie ma połączenia z siecią, ma tylko własny adres pętli zwrotnej: podłącz go do sieci urządzeń.</translation>
    </message>
    <message>
        <source>The request could not be sent from:</source>
        <translation>Zapytanie nie zostało wysłane z:</translation>
    </message>
    <message>
        <source>%1 is active on this computer and may drop the devices&apos; answers (UDP port 44444). To let them in, run as administrator: %2</source>
        <translation>Zapora %1 jest włączona na tym komputerze i może odrzucać odpowiedzi urządzeń (port UDP 44444). Aby je przepuścić, uruchom jako administrator: %2</translation>
    </message>
    <message>
        <source>1 device answered after the search ended: press Refresh</source>
        <translation>1 urządzenie odpowiedziało po zakończeniu wyszukiwania: naciśnij Odśwież</translation>
    </message>
    <message numerus="yes">
        <source>%n devices answered after the search ended: press Refresh</source>
        <translation>
            <numerusform>%n urządzenie odpowiedziało po zakończeniu wyszukiwania: naciśnij Odśwież</numerusform>
            <numerusform>%n urządzenia odpowiedziały po zakończeniu wyszukiwania: naciśnij Odśwież</numerusform>
            <numerusform>%n urządzeń odpowiedziało po zakończeniu wyszukiwania: naciśnij Odśwież</numerusform>
        </translation>
    </message>
    <message>
        <source>Port 44444 is in use by another program</source>
        <translation>Port 44444 jest zajęty przez inny program</translation>
    </message>
    <message>
        <source>No network connection</source>
        <translation>Brak połączenia z siecią</translation>
    </message>
    <message>
        <source>The search could not be sent</source>
        <translation>Nie udało się wysłać zapytania</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Szukanie...</translation>
    </message>
    <message>
        <source>Searching... 1 device found</source>
        <translation>Szukanie... znaleziono 1 urządzenie</translation>
    </message>
    <message numerus="yes">
        <source>Searching... %n devices found</source>
        <translation>
            <numerusform>Szukanie... znaleziono %n urządzenie</numerusform>
            <numerusform>Szukanie... znaleziono %n urządzenia</numerusform>
            <numerusform>Szukanie... znaleziono %n urządzeń</numerusform>
        </translation>
    </message>
    <message>
        <source>1 device found</source>
        <translation>Znaleziono 1 urządzenie</translation>
    </message>
    <message numerus="yes">
        <source>%n devices found</source>
        <translation>
            <numerusform>Znaleziono %n urządzenie</numerusform>
            <numerusform>Znaleziono %n urządzenia</numerusform>
            <numerusform>Znaleziono %n urządzeń</numerusform>
        </translation>
    </message>
    <message>
        <source>No devices: answers could not be read</source>
        <translation>Brak urządzeń: nie można odczytać odpowiedzi</translation>
    </message>
    <message>
        <source>No devices: is a firewall blocking them?</source>
        <translation>Brak urządzeń: czy blokuje je zapora?</translation>
    </message>
    <message>
        <source>No devices in time: press Refresh</source>
        <translation>Brak urządzeń na czas: naciśnij Odśwież</translation>
    </message>
    <message>
        <source>No devices: check cable, power, network</source>
        <translation>Brak urządzeń: sprawdź kabel, prąd, sieć</translation>
    </message>
    <message>
        <source>No device answered. Check the cable and the device&apos;s power, and that the device is on the same network as this computer.</source>
        <translation>Żadne urządzenie nie odpowiedziało. Sprawdź kabel i zasilanie urządzenia oraz czy urządzenie jest w tej samej sieci co ten komputer.</translation>
    </message>
    <message>
        <source>port 44444 is in use by another program</source>
        <translation>port 44444 jest zajęty przez inny program</translation>
    </message>
    <message>
        <source>%1 on %2: %3</source>
        <translation>%1 na %2: %3</translation>
    </message>
    <message>
        <source>wrong markers</source>
        <translation>błędne znaczniki</translation>
    </message>
    <message>
        <source>1 answer from %1 could not be read (%2)</source>
        <translation>Nie dało się odczytać 1 odpowiedzi od %1 (%2)</translation>
    </message>
    <message numerus="yes">
        <source>%n answers from %1 could not be read (%2)</source>
        <translation>
            <numerusform>Nie dało się odczytać %n odpowiedzi od %1 (%2)</numerusform>
            <numerusform>Nie dało się odczytać %n odpowiedzi od %1 (%2)</numerusform>
            <numerusform>Nie dało się odczytać %n odpowiedzi od %1 (%2)</numerusform>
        </translation>
    </message>
    <message>
        <source>and 1 more from another sender</source>
        <translation>i jeszcze 1 od innego nadawcy</translation>
    </message>
    <message numerus="yes">
        <source>and %n more from other senders</source>
        <translation>
            <numerusform>i jeszcze %n od innych nadawców</numerusform>
            <numerusform>i jeszcze %n od innych nadawców</numerusform>
            <numerusform>i jeszcze %n od innych nadawców</numerusform>
        </translation>
    </message>
    <message>
        <source>1 byte</source>
        <translation>1 bajt</translation>
    </message>
    <message numerus="yes">
        <source>%n bytes</source>
        <translation>
            <numerusform>%n bajt</numerusform>
            <numerusform>%n bajty</numerusform>
            <numerusform>%n bajtów</numerusform>
        </translation>
    </message>
    <message>
        <source>Searching %1:</source>
        <translation>Szukanie w %1:</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 z %2</translation>
    </message>
    <message>
        <source>devices found: %1</source>
        <translation>znalezione urządzenia: %1</translation>
    </message>
</context>
<context>
    <name>SearchVerdict</name>
    <message>
        <source>and 1 more range to which nothing could be sent</source>
        <translation>i jeszcze 1 zakres, do którego nic nie udało się wysłać</translation>
    </message>
    <message numerus="yes">
        <source>and %1 more ranges to which nothing could be sent</source>
        <translation>
            <numerusform>i jeszcze %1 zakres, do którego nic nie udało się wysłać</numerusform>
            <numerusform>i jeszcze %1 zakresy, do których nic nie udało się wysłać</numerusform>
            <numerusform>i jeszcze %1 zakresów, do których nic nie udało się wysłać</numerusform>
        </translation>
    </message>
    <message>
        <source>and 1 more range with requests not sent</source>
        <translation>i jeszcze 1 zakres z niewysłanymi zapytaniami</translation>
    </message>
    <message numerus="yes">
        <source>and %1 more ranges with requests not sent</source>
        <translation>
            <numerusform>i jeszcze %1 zakres z niewysłanymi zapytaniami</numerusform>
            <numerusform>i jeszcze %1 zakresy z niewysłanymi zapytaniami</numerusform>
            <numerusform>i jeszcze %1 zakresów z niewysłanymi zapytaniami</numerusform>
        </translation>
    </message>
    <message>
        <source>The search of the ranges was stopped after %1 of %2 addresses.</source>
        <translation>Odpytywanie zakresów zatrzymano po %1 z %2 adresów.</translation>
    </message>
    <message>
        <source>and 1 more range where no device answered</source>
        <translation>i jeszcze 1 zakres, w którym żadne urządzenie nie odpowiedziało</translation>
    </message>
    <message numerus="yes">
        <source>and %1 more ranges where no device answered</source>
        <translation>
            <numerusform>i jeszcze %1 zakres, w którym żadne urządzenie nie odpowiedziało</numerusform>
            <numerusform>i jeszcze %1 zakresy, w których żadne urządzenie nie odpowiedziało</numerusform>
            <numerusform>i jeszcze %1 zakresów, w których żadne urządzenie nie odpowiedziało</numerusform>
        </translation>
    </message>
    <message>
        <source>%1: no route to it from this computer</source>
        <translation>%1: brak trasy do tego zakresu z tego komputera</translation>
    </message>
    <message>
        <source>%1: nothing could be sent to it: %2</source>
        <translation>%1: nie udało się nic tam wysłać: %2</translation>
    </message>
    <message>
        <source>%1: reached from %2, where the search could not listen for answers, so nothing was sent to it</source>
        <translation>%1: osiągany z %2, gdzie wyszukiwanie nie mogło nasłuchiwać odpowiedzi, więc nic tam nie wysłano</translation>
    </message>
    <message>
        <source>%1: 1 request not sent (to %2): %3</source>
        <translation>%1: 1 zapytanie niewysłane (do %2): %3</translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 requests not sent (first to %3): %4</source>
        <translation>
            <numerusform>%1: %2 zapytanie niewysłane (pierwsze do %3): %4</numerusform>
            <numerusform>%1: %2 zapytania niewysłane (pierwsze do %3): %4</numerusform>
            <numerusform>%1: %2 zapytań niewysłanych (pierwsze do %3): %4</numerusform>
        </translation>
    </message>
    <message>
        <source>%1: some addresses are reached from %2, where the search could not listen for answers, so nothing was sent to them</source>
        <translation>%1: część adresów jest osiągana z %2, gdzie wyszukiwanie nie mogło nasłuchiwać odpowiedzi, więc nic do nich nie wysłano</translation>
    </message>
    <message>
        <source>%1: no device answered (1 request from %2)</source>
        <translation>%1: żadne urządzenie nie odpowiedziało (1 zapytanie z %2)</translation>
    </message>
    <message numerus="yes">
        <source>%1: no device answered (%2 requests from %3)</source>
        <translation>
            <numerusform>%1: żadne urządzenie nie odpowiedziało (%2 zapytanie z %3)</numerusform>
            <numerusform>%1: żadne urządzenie nie odpowiedziało (%2 zapytania z %3)</numerusform>
            <numerusform>%1: żadne urządzenie nie odpowiedziało (%2 zapytań z %3)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>Ostrel Scout is already running but does not answer. End it, for example in the system monitor, and start Ostrel Scout again.</source>
        <translation>Ostrel Scout już działa, ale nie odpowiada. Zakończ go, na przykład w monitorze systemu, i uruchom Ostrel Scout ponownie.</translation>
    </message>
</context>
<context>
    <name>StatusLine</name>
    <message>
        <source>Search status</source>
        <translation>Stan wyszukiwania</translation>
    </message>
    <message>
        <source>How the search is going: whether it is still running and how many devices answered.</source>
        <translation>Przebieg wyszukiwania: czy jeszcze trwa i ile urządzeń odpowiedziało.</translation>
    </message>
    <message>
        <source>Search other networks…</source>
        <translation>Przeszukaj inne sieci…</translation>
    </message>
</context>
<context>
    <name>TableActions</name>
    <message>
        <source>Open in browser</source>
        <translation>Otwórz w przeglądarce</translation>
    </message>
    <message>
        <source>Copy IP address</source>
        <translation>Kopiuj adres IP</translation>
    </message>
    <message>
        <source>Copy MAC address</source>
        <translation>Kopiuj adres MAC</translation>
    </message>
    <message>
        <source>Copy serial number</source>
        <translation>Kopiuj numer seryjny</translation>
    </message>
    <message>
        <source>Copy row</source>
        <translation>Kopiuj wiersz</translation>
    </message>
    <message>
        <source>Save list as CSV...</source>
        <translation>Zapisz listę jako CSV...</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Odśwież</translation>
    </message>
    <message>
        <source>Search other networks…</source>
        <translation>Przeszukaj inne sieci…</translation>
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
<context>
    <name>WatchRows</name>
    <message>
        <source>In the list, not answering</source>
        <translation>Na liście, nie odpowiada</translation>
    </message>
    <message>
        <source>Not answering since %1</source>
        <translation>Nie odpowiada od %1</translation>
    </message>
    <message>
        <source>New: first answered at %1</source>
        <translation>Nowe: pierwsza odpowiedź o %1</translation>
    </message>
    <message>
        <source>Answered from %1 before</source>
        <translation>Wcześniej odpowiadało z %1</translation>
    </message>
    <message>
        <source>Answers, but is not in the list</source>
        <translation>Odpowiada, ale nie ma go na liście</translation>
    </message>
    <message>
        <source>Watching: %1 answering, %2 not answering</source>
        <translation>Obserwacja: odpowiada: %1, nie odpowiada: %2</translation>
    </message>
    <message>
        <source>%1 answering, %2 not answering</source>
        <translation>Odpowiada: %1, nie odpowiada: %2</translation>
    </message>
    <message>
        <source>%1 answering, %2 not, %3 missing, %4 not in the list</source>
        <translation>Odpowiada: %1, nie: %2, brakuje: %3, spoza listy: %4</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <extracomment>The status line and the time the last search began.</extracomment>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>WatchView</name>
    <message>
        <source>Keep watching</source>
        <translation>Obserwuj stale</translation>
    </message>
    <message>
        <source>Compare with a list…</source>
        <translation>Porównaj z listą…</translation>
    </message>
    <message>
        <source>Compare with a list</source>
        <translation>Porównaj z listą</translation>
    </message>
    <message>
        <source>Lists of devices (*.csv *.json *.jsonl);;All files (*)</source>
        <translation>Listy urządzeń (*.csv *.json *.jsonl);;Wszystkie pliki (*)</translation>
    </message>
    <message>
        <source>%1 is not a list of devices: %2</source>
        <translation>%1 nie jest listą urządzeń: %2</translation>
    </message>
</context>
</TS>
