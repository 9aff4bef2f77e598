// The catalogue: every text, caption and button set the installer shows,
// and the pure helpers that form them. It holds values only, and touches
// neither the system nor the run.
//
// The texts are in code page 1252: an accented letter is one byte, written
// as an escape (\xE8 is "è", \xE0 is "à"), and each such text has its
// readable form in a comment above it. The system shows every box in
// UTF-8, whatever its own code page, so each text is converted on its way
// out (Utf8FromCatalogue).

#ifndef SKINSETUP_SKINSETUP_MESSAGES_H_
#define SKINSETUP_SKINSETUP_MESSAGES_H_

#include <cstdint>
#include <string>

namespace skinsetup {

// Caption of every fatal error, of the overwrite question and of success.
inline constexpr char kProgramTitle[] = "Quintavo Skins Installer";

// Texts of the fatal errors; FailAndExit adds " CODICE ERRORE:" and a code.
inline constexpr char kCannotInstall[] = "Impossibile installare la skin";
// "Quintavo non è installato".
inline constexpr char kNotInstalled[] = "Quintavo non \xE8 installato";
// "La skin non è compatibile con questa versione di client".
inline constexpr char kIncompatible[] =
    "La skin non \xE8 compatibile con questa versione di client";
inline constexpr char kCannotCreateSkins[] =
    "Impossibile creare la cartella Skins";
inline constexpr char kNoSpace[] = "Spazio su disco insufficiente";
inline constexpr char kCannotCopy[] = "Impossibile copiare i files su disco";

// The other boxes.
inline constexpr char kInvalid[] = "NON VALIDO";
inline constexpr char kInvalidCaption[] = " Installazione Fallita";
// "La skin è già presente." and "Si vuole procedere ugualmente?".
inline constexpr char kAlreadyPresent[] =
    "La skin \xE8 gi\xE0 presente.\nSi vuole procedere ugualmente?";
inline constexpr char kCopyErrorCaption[] = "Quintavo";
inline constexpr char kDeleteDirCaption[] = " delete file dir";
inline constexpr char kSuccess[] = "Installazione effettuata correttamente";
// A copy error's text, before the error's number, where the system has none.
inline constexpr char kSystemError[] = "Errore di sistema";

// The removal of a skin (/UNINSTALL). "La skin non è installata"; the
// others have no accented letter.
inline constexpr char kRemoveQuestion[] = "Si vuole rimuovere la skin?";
inline constexpr char kRemoved[] = "Skin rimossa correttamente";
inline constexpr char kSkinNotInstalled[] = "La skin non \xE8 installata";
inline constexpr char kCannotRemove[] = "Impossibile rimuovere la skin";

// The help of /?, after "Uso:" and the name the installer was started by.
inline constexpr char kHelpUsage[] = "Uso:";
// "... dalla cartella del pacchetto della skin, che contiene cliver.map."
// and, for /S, "... per gli strumenti di distribuzione: nessuna finestra;
// uscita 0, 1602, 1603, 1605 o 1618"; "già", "più".
inline constexpr char kHelpText[] =
    "[/S] [/OVERWRITE] [/LOG=file] [/UNINSTALL | /CHECK] NomeSkin\n"
    "dalla cartella del pacchetto della skin, che contiene cliver.map.\n\n"
    "/S\tper gli strumenti di distribuzione: nessuna finestra; uscita 0, "
    "1602, 1603, 1605 o 1618\n"
    "/VERYSILENT, /SILENT, /SUPPRESSMSGBOXES, /quiet, /qn\tcome /S\n"
    "/NORESTART\taccettato, non cambia nulla\n"
    "/OVERWRITE\tsovrascrive senza chiedere la skin gi\xE0 installata\n"
    "/LOG=file\taggiunge al file una riga per ogni passo (/LOG=- "
    "sull'uscita standard)\n"
    "/UNINSTALL\trimuove la skin\n"
    "/CHECK\tcontrolla il pacchetto, per chi crea le skin\n"
    "/?, /HELP, /H\tmostra questo aiuto";

// The check of a package (/CHECK): "Il pacchetto è valido", then one line a
// problem, "<file>: <problem>" or "cliver.map, riga <n>: <problem>".
inline constexpr char kCheckValid[] = "Il pacchetto \xE8 valido";
inline constexpr char kCheckProblems[] = "Il pacchetto ha dei problemi:";
inline constexpr char kCheckMore[] = "...e altri problemi:";
// "è una cartella: l'installazione si ferma".
inline constexpr char kCheckFolder[] =
    "\xE8 una cartella: l'installazione si ferma";
// "non è un file che si possa aprire", "non si può leggere".
inline constexpr char kCheckNotFile[] = "non \xE8 un file che si possa aprire";
inline constexpr char kCheckUnreadable[] = "non si pu\xF2 leggere";
inline constexpr char kCheckBadName[] =
    "Windows non accetta questo nome, o lo cambia";
// "nome più lungo di 255 caratteri", "su Windows è lo stesso file di".
inline constexpr char kCheckLongName[] = "nome pi\xF9 lungo di 255 caratteri";
inline constexpr char kCheckSameName[] = "su Windows \xE8 lo stesso file di";
inline constexpr char kCheckSkinName[] = "il nome della skin";
inline constexpr char kCheckNoMap[] = "manca cliver.map";
inline constexpr char kCheckMapLine[] = "riga";
inline constexpr char kCheckNoName[] = "una riga senza nome";
inline constexpr char kCheckNoValue[] = "una riga senza valore";
inline constexpr char kCheckRangeMissing[] = "manca la riga";
inline constexpr char kCheckRangeNegative[] = "un valore negativo:";
// "l'intervallo è invertito:", then "MIN=<min> > MAX=<max>".
inline constexpr char kCheckRangeReversed[] = "l'intervallo \xE8 invertito:";
inline constexpr char kCheckStop[] =
    "un carattere NUL o Ctrl-Z: l'installazione non legge oltre";
// "... l'installazione la legge come più righe".
inline constexpr char kCheckLongLine[] =
    "una riga di oltre 511 byte: l'installazione la legge come pi\xF9 righe";

// "su NTFS è il nome breve (8.3) che può ricevere", then the long name.
inline constexpr char kCheckAlias[] =
    "su NTFS \xE8 il nome breve (8.3) che pu\xF2 ricevere";
inline constexpr char kCheckMapCase[] =
    "la mappa deve chiamarsi cliver.map, in minuscolo";
// What does not fail an installation, but its author should know:
// "<file>: avviso: <text>".
inline constexpr char kCheckWarning[] = "avviso:";
inline constexpr char kCheckEmpty[] = "un file vuoto";
// "più di 4 GiB: un volume FAT32 non lo contiene".
inline constexpr char kCheckLarge[] =
    "pi\xF9 di 4 GiB: un volume FAT32 non lo contiene";
inline constexpr char kCheckLink[] =
    "un collegamento: l'installazione copia il file a cui porta";

// The valid package's fingerprint, "impronta SHA-256: <hex>", and the
// problem where the system cannot compute it.
inline constexpr char kCheckFingerprint[] = "impronta SHA-256:";
inline constexpr char kCheckNoFingerprint[] = "il sistema non sa calcolarla";

// The words of the log that /LOG asks for, around the boxes' texts.
inline constexpr char kLogStart[] = "avvio:";
inline constexpr char kLogClient[] = "cartella Skins:";
inline constexpr char kLogPackage[] = "byte da copiare:";
inline constexpr char kLogSkinFolder[] = "copia in:";
inline constexpr char kLogCopied[] = "copiato:";
inline constexpr char kLogRollback[] = "ripristino:";
inline constexpr char kLogRemoving[] = "rimozione da:";
inline constexpr char kLogRemovedFile[] = "rimosso:";
inline constexpr char kLogProblem[] = "problema:";
// What failed, before the file or folder it concerns and the system's
// reason.
inline constexpr char kLogRefused[] = "riga di comando rifiutata:";
inline constexpr char kLogNotOpened[] = "impossibile aprire";
inline constexpr char kLogNotSized[] = "impossibile leggere la dimensione di";
inline constexpr char kLogNotCopied[] = "impossibile copiare";
inline constexpr char kLogNotKept[] = "impossibile mettere da parte";
// "impossibile rimettere al suo posto".
inline constexpr char kLogNotPutBack[] = "impossibile rimettere al suo posto";
inline constexpr char kLogNotDeleted[] = "impossibile cancellare";
inline constexpr char kLogNotLocked[] = "impossibile bloccare";
// Each file of a valid package, "<its SHA-256>  <name>", as the
// fingerprint takes it.
inline constexpr char kLogFingerprintFile[] = "nell'impronta:";
// "la skin non è stata rimossa".
inline constexpr char kLogNotRemoved[] = "la skin non \xE8 stata rimossa";
inline constexpr char kLogHelp[] = "aiuto mostrato";
inline constexpr char kLogOutcome[] = "esito:";
inline constexpr char kLogStatus[] = "uscita";
inline constexpr char kLogAnswerOk[] = "OK";
// "Sì".
inline constexpr char kLogAnswerYes[] = "S\xEC";
inline constexpr char kLogAnswerNo[] = "No";
inline constexpr char kLogAnswerNone[] = "nessuna risposta";
// "la skin già presente non è stata sovrascritta".
inline constexpr char kLogDeclined[] =
    "la skin gi\xE0 presente non \xE8 stata sovrascritta";
// "la cartella Skins è occupata da un'altra installazione".
inline constexpr char kLogBusy[] =
    "la cartella Skins \xE8 occupata da un'altra installazione";

// Captions of the trace points.
inline constexpr char kTraceExeName[] = "NOME_EXE";
inline constexpr char kTraceSkinName[] = " PARAMETRO";
inline constexpr char kTraceInstallDir[] = " Prova Installazione";
inline constexpr char kTraceDir[] = " DIR";
inline constexpr char kTraceValue[] = " szValue";
inline constexpr char kTraceFreeSpace[] = "FreeSpace";
inline constexpr char kTraceCurDir[] = "Current Directory";
inline constexpr char kTraceFileName[] = "lpFileName";
inline constexpr char kTraceFileOpened[] = "FILE OPENED";
inline constexpr char kTraceName[] = "name";
inline constexpr char kTraceMapValue[] = "value";
inline constexpr char kTraceRevision[] = "SKIN-COMPATIBILITY";
inline constexpr char kTraceCreateSkins[] = "DIR da creare";
inline constexpr char kTraceBadFile[] = "NOME FILE CHE DA' PROBLEMI";
inline constexpr char kTraceSizeFailed[] = " Quintavo";
inline constexpr char kTraceSizeFailedText[] = "GetFileSize() Fallita";
inline constexpr char kTraceMemNec[] = "mem_nec";
inline constexpr char kTraceDisk[] = "Disk";
inline constexpr char kTraceSkinDir[] = "Dir che si vuole creare";
inline constexpr char kTraceMakeSkinDir[] = " DIR NOMESKIN";
inline constexpr char kTraceTmp2[] = "tmp2";
inline constexpr char kTraceTmp4[] = " tmp4";
inline constexpr char kTraceDestination[] = " destinazione";
inline constexpr char kTraceSource[] = " origine";

// `text` + " CODICE ERRORE:" + `code`, as the fatal error box shows it.
std::string FormatFailure(const char* text, int code);

// A text of the catalogue, in code page 1252, as UTF-8.
std::string Utf8FromCatalogue(const std::string& text);

// "%f" of a byte count, as the trace boxes show it.
std::string FormatFloat(float value);

// "%d" of a revision, as the trace box shows it: the registry's four bytes
// read as a signed number.
std::string FormatSigned(std::uint32_t value);

}  // namespace skinsetup

#endif  // SKINSETUP_SKINSETUP_MESSAGES_H_
