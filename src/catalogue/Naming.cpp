#include "MagCommon.h"
#include "Messages.h"
#include "TextEncoding.h"

namespace catalogue
{

namespace
{

const char* const kCapitals = "А,Б,В,Г,Д,Е,Ё,Ж,З,И,Й,К,Л,М,Н,О,П,Р,С,Т,У,Ф,Х,Ц,Ч,Ш,Щ,Ь,Ы,Ъ,Э,Ю,Я";
const char* const kSmallAndDigits =
    "а,б,в,г,д,е,ё,ж,з,и,й,к,л,м,н,о,п,р,с,т,у,ф,х,ц,ч,ш,щ,ь,ы,ъ,э,ю,я,0,1,2,3,4,5,6,7,8,9";
const char* const kLatin =
    "A,B,V,G,D,E,E,J,Z,I,Y,K,L,M,N,O,P,R,S,T,U,F,H,TS,CH,SH,SH,,Y,,E,YU,YA,0,1,2,3,4,5,6,7,8,9";

const QString kForbidden = QStringLiteral("/\\:*?\"<>|.& %;,!^");

} // namespace

QString CommaListItem(int index, const QString& list)
{
    if (index < 0)
        return QString();
    return list.section(u',', index, index);
}

int CommaListIndex(const QString& item, const QString& list)
{
    const QStringList fields = list.split(u',');
    for (int i = 0; i <= 100 && i < fields.size(); ++i)
        if (fields[i] == item)
            return i;
    return -1;
}

bool IsValidIdentifierText(const QString& text)
{
    for (QChar c : text) {
        if (kForbidden.contains(c))
            return false;
        const int code = platform::Cp1251Code(c);
        // Above "z": braces, tilde, DEL and every Cyrillic letter. The level
        // separator and control characters would corrupt paths.
        if (code < 0 || code > 122 || code == 96 || code < 32)
            return false;
    }
    return true;
}

bool ValidateIdentifier(const QString& identifier, const QString& path, bool reportDuplicate)
{
    if (identifier.isEmpty()) {
        platform::ShowWarning(QStringLiteral("Не указан идентификатор объекта"));
        return false;
    }
    if (!IsValidIdentifierText(identifier)) {
        platform::ShowWarning(QStringLiteral(
            "Идентификатор может содержать только буквы латинского алфавита и цифры"));
        return false;
    }
    EquipmentTree* tree = EquipmentEditorTree();
    if (tree && FindNodeByPath(tree->first(), path)) {
        if (reportDuplicate)
            platform::ShowWarning(QStringLiteral("Идентификатор не уникален"));
        return false;
    }
    return true;
}

QString Transliterate(const QString& name)
{
    const QString capitals = QString::fromUtf8(kCapitals);
    const QString small = QString::fromUtf8(kSmallAndDigits);
    const QString latin = QString::fromUtf8(kLatin);
    QString result;
    for (int i = 0; i < 5 && i < name.size(); ++i) {
        const QString c(name[i]);
        int index = CommaListIndex(c, capitals);
        if (index < 0)
            index = CommaListIndex(c, small);
        if (index >= 0) {
            result += CommaListItem(index, latin);
            continue;
        }
        const int code = platform::Cp1251Code(name[i]);
        // Latin letters, "_" and other characters above "@" stay as they are.
        if (code > 64 || code < 0)
            result += c;
    }
    return result;
}

} // namespace catalogue
