<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ArchivePreview</name>
    <message>
        <source>Entries: %1, unpacked: %2</source>
        <translation>Einträge: %1, entpackt: %2</translation>
    </message>
    <message>
        <source>Entries read: %1, unpacked: %2</source>
        <translation>Gelesene Einträge: %1, entpackt: %2</translation>
    </message>
    <message>
        <source>Files this package installs.</source>
        <translation>Dateien, die dieses Paket installiert.</translation>
    </message>
    <message>
        <source>Encrypted: the contents need a password.</source>
        <translation>Verschlüsselt: für den Inhalt ist ein Passwort nötig.</translation>
    </message>
    <message>
        <source>Archive contents</source>
        <translation>Inhalt des Archivs</translation>
    </message>
    <message numerus="yes">
        <source>and %Ln more</source>
        <translation>
            <numerusform>und %Ln weiterer</numerusform>
            <numerusform>und %Ln weitere</numerusform>
        </translation>
    </message>
    <message>
        <source>This is not a regular file.</source>
        <translation>Dies ist keine gewöhnliche Datei.</translation>
    </message>
    <message>
        <source>This is not an archive Mirel can read.</source>
        <translation>Dies ist kein Archiv, das Mirel lesen kann.</translation>
    </message>
    <message>
        <source>The archive is damaged or incomplete; it cannot be read to the end.</source>
        <translation>Das Archiv ist beschädigt oder unvollständig; es kann nicht bis zum Ende gelesen werden.</translation>
    </message>
    <message>
        <source>Even the list of files in this archive is encrypted.</source>
        <translation>Sogar die Liste der Dateien in diesem Archiv ist verschlüsselt.</translation>
    </message>
    <message>
        <source>The archive is too large to count every entry.</source>
        <translation>Das Archiv ist zu groß, um jeden Eintrag zu zählen.</translation>
    </message>
    <message>
        <source>The file could not be read.</source>
        <translation>Die Datei konnte nicht gelesen werden.</translation>
    </message>
</context>
<context>
    <name>ArchivePreviewLoader</name>
    <message>
        <source>Mirel could not list what this archive holds.</source>
        <translation>Mirel konnte nicht auflisten, was dieses Archiv enthält.</translation>
    </message>
</context>
<context>
    <name>BusyIndicator</name>
    <message>
        <source>Loading</source>
        <translation>Wird geladen</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Started at login: wait up to 10 seconds for the system tray before opening a window.</source>
        <translation>Beim Anmelden gestartet: bis zu 10 Sekunden auf die Systemleiste warten, bevor ein Fenster öffnet.</translation>
    </message>
    <message>
        <source>Reviews the loose files on your Desktop, in Downloads and in folders you add: keep or delete each one.</source>
        <translation>Sieht die losen Dateien auf dem Schreibtisch, in Downloads und in hinzugefügten Ordnern durch: jede behalten oder löschen.</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation>Unerwartetes Argument „%1“.</translation>
    </message>
</context>
<context>
    <name>CountLabel</name>
    <message numerus="yes">
        <source>%n files</source>
        <translation>
            <numerusform>%n Datei</numerusform>
            <numerusform>%n Dateien</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>FileActions</name>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Im Ordner anzeigen</translation>
    </message>
    <message>
        <source>Copy Path</source>
        <translation>Pfad kopieren</translation>
    </message>
    <message>
        <source>No application can open %1</source>
        <translation>Kein Programm kann %1 öffnen</translation>
    </message>
</context>
<context>
    <name>FileDialogFolderPicker</name>
    <message>
        <source>Add Folder</source>
        <translation>Ordner hinzufügen</translation>
    </message>
</context>
<context>
    <name>FileListView</name>
    <message numerus="yes">
        <source>%n items</source>
        <translation>
            <numerusform>%n Eintrag</numerusform>
            <numerusform>%n Einträge</numerusform>
        </translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
</context>
<context>
    <name>FinishedView</name>
    <message>
        <source>Scan Again</source>
        <translation>Erneut suchen</translation>
    </message>
    <message>
        <source>All clean!</source>
        <translation>Alles aufgeräumt!</translation>
    </message>
    <message>
        <source>No files to review</source>
        <translation>Keine Dateien zum Durchsehen</translation>
    </message>
</context>
<context>
    <name>ImagePreview</name>
    <message>
        <source>Preview picture</source>
        <translation>Vorschaubild</translation>
    </message>
</context>
<context>
    <name>InfoCardPreview</name>
    <message>
        <source>This file is no longer there.</source>
        <translation>Diese Datei ist nicht mehr vorhanden.</translation>
    </message>
    <message>
        <source>Modified %1, %2</source>
        <translation>Geändert am %1, %2</translation>
    </message>
</context>
<context>
    <name>MediaPreview</name>
    <message>
        <source>Play or pause</source>
        <translation>Wiedergabe oder Pause</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Wiedergabe</translation>
    </message>
</context>
<context>
    <name>MenuBarView</name>
    <message>
        <source>Mirel</source>
        <translation>Mirel</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Keep</source>
        <translation>Behalten</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>%1 • %2</source>
        <translation>%1 • %2</translation>
    </message>
</context>
<context>
    <name>MirelApp</name>
    <message>
        <source>Could not undo</source>
        <translation>Rückgängig machen fehlgeschlagen</translation>
    </message>
    <message>
        <source>Mirel</source>
        <translation>Mirel</translation>
    </message>
    <message>
        <source>Open Mirel</source>
        <translation>Mirel öffnen</translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation>Einstellungen …</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Mirel is in the system tray. Files to review: %1</source>
        <translation>Mirel ist im Systembereich der Kontrollleiste. Zu prüfende Dateien: %1</translation>
    </message>
    <message numerus="yes">
        <source>Mirel: %n files to review</source>
        <translation>
            <numerusform>Mirel: %n Datei zu prüfen</numerusform>
            <numerusform>Mirel: %n Dateien zu prüfen</numerusform>
        </translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Undo Keep: %1</source>
        <translation>Behalten rückgängig: %1</translation>
    </message>
    <message>
        <source>Undo Delete: %1</source>
        <translation>Löschen rückgängig: %1</translation>
    </message>
    <message>
        <source>Start at Login</source>
        <translation>Beim Anmelden starten</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Start at Login</source>
        <translation>Beim Anmelden starten</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Monitored Folders</source>
        <translation>Überwachte Ordner</translation>
    </message>
    <message>
        <source>Desktop</source>
        <translation>Schreibtisch</translation>
    </message>
    <message>
        <source>Downloads</source>
        <translation>Downloads</translation>
    </message>
    <message>
        <source>Enable folders to monitor for file cleanup.</source>
        <translation>Ordner einschalten, die beim Aufräumen durchgesehen werden.</translation>
    </message>
    <message>
        <source>Custom Folders</source>
        <translation>Eigene Ordner</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Ordner hinzufügen</translation>
    </message>
    <message>
        <source>Keep Location</source>
        <translation>Ablageort</translation>
    </message>
    <message>
        <source>Move kept files to:</source>
        <translation>Behaltene Dateien nach:</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Mirel</source>
        <translation>Mirel</translation>
    </message>
    <message>
        <source>Build</source>
        <translation>Build</translation>
    </message>
    <message>
        <source>Check for Updates...</source>
        <translation>Nach Updates suchen …</translation>
    </message>
    <message>
        <source>v%1</source>
        <translation>v%1</translation>
    </message>
    <message>
        <source>Remove %1</source>
        <translation>%1 entfernen</translation>
    </message>
</context>
<context>
    <name>SizeText</name>
    <message>
        <source>1 byte</source>
        <translation>1 Byte</translation>
    </message>
</context>
<context>
    <name>TextPreview</name>
    <message>
        <source>Only the first %1 of this file are shown.</source>
        <translation>Nur die ersten %1 dieser Datei werden angezeigt.</translation>
    </message>
</context>
<context>
    <name>UpdateAvailableDialog</name>
    <message>
        <source>Software Update</source>
        <translation>Softwareaktualisierung</translation>
    </message>
    <message>
        <source>A newer version of Mirel is available</source>
        <translation>Eine neuere Version von Mirel ist verfügbar</translation>
    </message>
    <message>
        <source>Mirel %1 is available. You have version %2.</source>
        <translation>Mirel %1 ist verfügbar. Sie haben Version %2.</translation>
    </message>
    <message>
        <source>Read the release notes</source>
        <translation>Versionshinweise lesen</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Herunterladen</translation>
    </message>
    <message>
        <source>Not Now</source>
        <translation>Nicht jetzt</translation>
    </message>
</context>
<context>
    <name>UpdateProblem</name>
    <message>
        <source>Mirel could not reach the update server. Check your network connection and try again.</source>
        <translation>Mirel konnte den Update-Server nicht erreichen. Prüfen Sie die Netzwerkverbindung und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>The update server did not answer in time. Try again later.</source>
        <translation>Der Update-Server hat nicht rechtzeitig geantwortet. Versuchen Sie es später erneut.</translation>
    </message>
    <message>
        <source>The update server reported an error. Try again later.</source>
        <translation>Der Update-Server hat einen Fehler gemeldet. Versuchen Sie es später erneut.</translation>
    </message>
    <message>
        <source>Mirel could not establish a secure connection to the update server.</source>
        <translation>Mirel konnte keine sichere Verbindung zum Update-Server herstellen.</translation>
    </message>
    <message>
        <source>The update server pointed to an address that is not secure, so Mirel stopped.</source>
        <translation>Der Update-Server verwies auf eine unsichere Adresse, daher hat Mirel abgebrochen.</translation>
    </message>
    <message>
        <source>The update server did not send a list of Mirel versions.</source>
        <translation>Der Update-Server hat keine Liste der Mirel-Versionen geschickt.</translation>
    </message>
    <message>
        <source>The update server sent far more data than a list of versions needs, so Mirel stopped reading it.</source>
        <translation>Der Update-Server hat weit mehr Daten geschickt, als eine Versionsliste braucht, daher hat Mirel das Lesen abgebrochen.</translation>
    </message>
    <message>
        <source>This update cannot be verified, so Mirel did not download it.</source>
        <translation>Dieses Update kann nicht geprüft werden, daher hat Mirel es nicht heruntergeladen.</translation>
    </message>
    <message>
        <source>The downloaded file does not have the expected size. Mirel deleted it.</source>
        <translation>Die heruntergeladene Datei hat nicht die erwartete Größe. Mirel hat sie gelöscht.</translation>
    </message>
    <message>
        <source>The downloaded file is not signed by the Mirel developers. Mirel deleted it.</source>
        <translation>Die heruntergeladene Datei ist nicht von den Mirel-Entwicklern signiert. Mirel hat sie gelöscht.</translation>
    </message>
    <message>
        <source>Mirel could not save the download in your Downloads folder. Check that there is enough free space.</source>
        <translation>Mirel konnte die Datei nicht im Download-Ordner speichern. Prüfen Sie, ob genug Platz frei ist.</translation>
    </message>
    <message>
        <source>The update is larger than 1 GiB, far more than Mirel needs, so Mirel did not download it.</source>
        <translation>Das Update ist größer als 1 GiB, weit mehr als Mirel braucht, daher hat Mirel es nicht heruntergeladen.</translation>
    </message>
</context>
<context>
    <name>UpdaterDialogs</name>
    <message>
        <source>Checking for updates…</source>
        <translation>Suche nach Updates …</translation>
    </message>
    <message>
        <source>Updates come from your package manager</source>
        <translation>Updates kommen über Ihre Paketverwaltung</translation>
    </message>
    <message>
        <source>Newer versions of Mirel arrive with your system&apos;s software updates.</source>
        <translation>Neuere Versionen von Mirel kommen mit den Softwareaktualisierungen Ihres Systems.</translation>
    </message>
    <message>
        <source>Mirel is up to date</source>
        <translation>Mirel ist auf dem neuesten Stand</translation>
    </message>
    <message>
        <source>Mirel %1 is the newest version available.</source>
        <translation>Mirel %1 ist die neueste verfügbare Version.</translation>
    </message>
    <message>
        <source>Downloading the update…</source>
        <translation>Das Update wird heruntergeladen …</translation>
    </message>
    <message>
        <source>The update has been downloaded</source>
        <translation>Das Update wurde heruntergeladen</translation>
    </message>
    <message>
        <source>It was saved as %1 in %2. Install it with your package manager or by opening it.</source>
        <translation>Es wurde als %1 in %2 gespeichert. Installieren Sie es mit Ihrer Paketverwaltung oder durch Öffnen.</translation>
    </message>
    <message>
        <source>Software update failed</source>
        <translation>Softwareaktualisierung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Software Update</source>
        <translation>Softwareaktualisierung</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>No automatic updates</source>
        <translation>Keine automatischen Updates</translation>
    </message>
    <message>
        <source>This copy of Mirel was built from source; get the new version the same way you got this one.</source>
        <translation>Diese Kopie von Mirel wurde aus dem Quellcode gebaut; holen Sie die neue Version auf demselben Weg wie diese.</translation>
    </message>
</context>
</TS>
