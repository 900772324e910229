#include "account/profileform.h"

#include "core/userprofile.h"

namespace ProfileForm {

namespace {

struct Row
{
    const char16_t *province;
    const char16_t *cities; // comma-separated
};

// clang-format off
const Row kRows[] = {
    {u"北京市", u"朝阳区,海淀区,通州区,房山区,丰台区,昌平区,大兴区,顺义区,西城区,延庆县,石景山区,宣武区,怀柔区,崇文区,密云县,东城区,门头沟区,平谷区"},
    {u"广东", u"广州,深圳,珠海,汕头,佛山,韶关,湛江,肇庆,江门,茂名,惠州,梅州,汕尾,河源,阳江,清远,东莞,中山,潮州,揭阳,云浮"},
    {u"山东", u"济南,青岛,淄博,枣庄,东营,烟台,潍坊,济宁,泰安,威海,日照,莱芜,临沂,德州,聊城,滨州,菏泽"},
    {u"江苏", u"南京,无锡,徐州,常州,苏州,南通,连云港,淮安,盐城,扬州,镇江,泰州,宿迁"},
    {u"河南", u"郑州,开封,洛阳,平顶山,安阳,鹤壁,新乡,焦作,濮阳,许昌,漯河,三门峡,南阳,商丘,信阳,周口,驻马店,济源"},
    {u"上海市", u"黄浦区,卢湾区,徐汇区,长宁区,静安区,普陀区,闸北区,虹口区,杨浦区,闵行区,宝山区,嘉定区,浦东新区,金山区,松江区,青浦区,南汇区,奉贤区,崇明县"},
    {u"河北", u"石家庄,唐山,秦皇岛,邯郸,邢台,保定,张家口,承德,沧州,廊坊,衡水,定州"},
    {u"浙江", u"杭州,宁波,温州,嘉兴,湖州,绍兴,金华,衢州,舟山,台州,丽水"},
    {u"香港", u""},
    {u"陕西", u"西安,铜川,宝鸡,咸阳,渭南,延安,汉中,榆林,安康,商洛"},
    {u"湖南", u"长沙,株洲,湘潭,衡阳,邵阳,岳阳,常德,张家界,益阳,郴州,永州,怀化,娄底,湘西"},
    {u"重庆市", u"万州区,涪陵区,渝中区,大渡口区,江北区,沙坪坝区,九龙坡区,南岸区,北碚区,万盛区,双桥区,渝北区,巴南区,黔江区,长寿区,江津区,合川区,永川区,南川区,綦江县,潼南县,铜梁县,大足县,荣昌县,璧山县,梁平县,城口县,丰都县,垫江县,武隆县,忠县,开县,云阳县,奉节县,巫山县,巫溪县,石柱县,秀山县,酉阳县,彭水县"},
    {u"福建", u"福州,厦门,莆田,三明,泉州,漳州,南平,龙岩,宁德"},
    {u"天津市", u"和平区,河东区,河西区,南开区,河北区,红桥区,塘沽区,汉沽区,大港区,东丽区,西青区,津南区,北辰区,武清区,宝坻区,宁河县,静海县,蓟县"},
    {u"云南", u"昆明,曲靖,玉溪,保山,昭通,丽江,普洱,临沧,楚雄,红河,文山,西双版纳,大理,德宏,怒江,迪庆"},
    {u"四川", u"成都,自贡,攀枝花,泸州,德阳,绵阳,广元,遂宁,内江,乐山,南充,眉山,宜宾,广安,达州,雅安,巴中,资阳,阿坝,甘孜,凉山"},
    {u"广西", u"南宁,柳州,桂林,梧州,北海,防城港,钦州,贵港,玉林,百色,贺州,河池,来宾,崇左"},
    {u"安徽", u"合肥,芜湖,蚌埠,淮南,马鞍山,淮北,铜陵,安庆,黄山,滁州,阜阳,宿州,巢湖,六安,亳州,池州,宣城"},
    {u"海南", u"海口,三亚,五指山,琼海,儋州,文昌,万宁,东方,定安,屯昌,澄迈,临高,白沙,昌江,乐东,陵水,保亭,琼中"},
    {u"江西", u"南昌,景德镇,萍乡,九江,新余,鹰潭,赣州,吉安,宜春,抚州,上饶"},
    {u"湖北", u"武汉,黄石,十堰,宜昌,襄阳,鄂州,荆门,孝感,荆州,黄冈,咸宁,随州,恩施,仙桃,潜江,天门,神农架"},
    {u"山西", u"太原,大同,阳泉,长治,晋城,朔州,晋中,运城,忻州,临汾,吕梁"},
    {u"辽宁", u"沈阳,大连,鞍山,抚顺,本溪,丹东,锦州,营口,阜新,辽阳,盘锦,铁岭,朝阳,葫芦岛"},
    {u"台湾", u"台北,高雄,基隆,台中,台南,新竹,嘉义"},
    {u"黑龙江", u"哈尔滨,齐齐哈尔,鸡西,鹤岗,双鸭山,大庆,伊春,佳木斯,七台河,牡丹江,黑河,绥化,大兴安岭"},
    {u"内蒙古", u"呼和浩特,包头,乌海,赤峰,通辽,鄂尔多斯,呼伦贝尔,巴彦淖尔,乌兰察布,兴安盟,锡林郭勒盟,阿拉善盟"},
    {u"澳门", u""},
    {u"贵州", u"贵阳,六盘水,遵义,安顺,铜仁,黔西南,毕节,黔东南,黔南"},
    {u"甘肃", u"兰州,嘉峪关,金昌,白银,天水,武威,张掖,平凉,酒泉,庆阳,定西,陇南,临夏,甘南"},
    {u"青海", u"西宁,海东,海北,黄南,果洛,玉树,海西"},
    {u"新疆", u"乌鲁木齐,克拉玛依,吐鲁番,哈密,昌吉,博尔塔拉,巴音郭楞,阿克苏,克孜勒苏,喀什,和田,伊犁,塔城,阿勒泰,石河子,阿拉尔,图木舒克,五家渠"},
    {u"西藏", u"拉萨,昌都,山南,日喀则,那曲,阿里,林芝"},
    {u"吉林", u"长春,吉林,四平,辽源,通化,白山,松原,白城,延边"},
    {u"宁夏", u"银川,石嘴山,吴忠,固原,中卫"},
};
// clang-format on

} // namespace

const QVector<QPair<QString, QStringList>> &provinces()
{
    static const QVector<QPair<QString, QStringList>> table = [] {
        QVector<QPair<QString, QStringList>> t;
        for (const Row &row : kRows)
            t.append({QString::fromUtf16(row.province),
                      QString::fromUtf16(row.cities).split(QLatin1Char(','))});
        return t;
    }();
    return table;
}

QStringList provinceNames()
{
    QStringList names;
    for (const auto &p : provinces())
        names.append(p.first);
    return names;
}

QStringList cities(const QString &province)
{
    for (const auto &p : provinces())
        if (p.first == province)
            return p.second;
    return QStringList();
}

bool hasProvince(const QString &province)
{
    return provinceNames().contains(province);
}

bool parseBirthday(const QString &text, Birthday *b)
{
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() != 3)
        return false;
    int values[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        values[i] = parts.at(i).trimmed().toInt(&ok);
        if (!ok)
            return false;
    }
    *b = Birthday{values[0], values[1], values[2]};
    return true;
}

QString birthdayText(const Birthday &b)
{
    return QStringLiteral("%1-%2-%3").arg(b.year).arg(b.month).arg(b.day);
}

void applyEdit(const Edited &edit, UserProfile &profile)
{
    profile.nick_name = edit.nickName;
    profile.introduce = edit.introduce;
    if (edit.sexButton >= 0 && edit.sexButton <= 2)
        profile.sex = edit.sexButton;
    Birthday stored;
    if (edit.birthdayTouched)
        profile.birthday = birthdayText(edit.birthday);
    else if (!parseBirthday(profile.birthday, &stored))
        profile.birthday.clear(); // the service takes no half date
    profile.province = edit.province;
    profile.city = edit.city;
    profile.bHeadPending = profile.bHeadPending || edit.headChanged;
}

} // namespace ProfileForm
